#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

namespace tavrin::ui {

class BackgroundTask;

// What the work of a task sees, on the task's thread: whether it was asked to
// stop, and the ways of telling the window how it goes.
class TaskControl {
 public:
  // True once the task was cancelled (or its owner is being destroyed).
  bool cancelled() const;
  // The latest progress. The window hears of the last report made since it
  // last heard, so reporting often costs the window nothing.
  void progress(std::size_t done, std::size_t total, const QString& text = {});
  // Runs f on the owner's thread, in the order of the calls and before the
  // result. Nothing is dropped, so this is for rare reports.
  void post(std::function<void()> f);

  struct Shared;

 private:
  friend class BackgroundTask;
  explicit TaskControl(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  std::shared_ptr<Shared> shared_;
};

// Runs one piece of work at a time on a thread of its own and delivers its
// result, or the exception it threw, on the thread that owns this object
// (the UI thread). Progress reports arrive as progressed(). Destroying the
// object cancels the running work and joins its thread; nothing is
// delivered afterwards.
class BackgroundTask : public QObject {
  Q_OBJECT
 public:
  using ErrorFn = std::function<void(std::exception_ptr)>;

  explicit BackgroundTask(QObject* parent = nullptr);
  ~BackgroundTask() override;

  // Starts work(TaskControl&) on the task's thread; when it returns,
  // onResult(value) (or onResult() for work returning nothing) is called on
  // this object's thread; when it throws, onError(exception). False (and
  // nothing started) while another run has not been delivered.
  template <class Work, class OnResult>
  bool start(Work work, OnResult onResult, ErrorFn onError);
  // start() and then wait() until the result was delivered, while the
  // window keeps handling events.
  template <class Work, class OnResult>
  bool runAndWait(Work work, OnResult onResult, ErrorFn onError) {
    if (!start(std::move(work), std::move(onResult), std::move(onError))) return false;
    wait();
    return true;
  }

  // From start() until the result or error has been delivered.
  bool running() const { return shared_ != nullptr; }
  // Asks the running work to stop (TaskControl::cancelled()).
  void cancel();
  // Whether the running work was asked to stop; inside onResult and onError,
  // whether the work that ended was.
  bool cancelRequested() const;
  // Runs a local event loop until the running task has been delivered (true)
  // or timeoutMs passed (false; a negative timeout waits as long as it takes).
  bool wait(int timeoutMs = -1);

  // The text of an exception delivered to onError.
  static std::string message(std::exception_ptr error);

 signals:
  void progressed(qint64 done, qint64 total, const QString& text);
  // After onResult or onError has returned.
  void finished();

 private:
  friend class TaskControl;
  bool launch(std::function<void(TaskControl&)> work, std::function<void()> onResult, ErrorFn onError);
  void deliverProgress(const std::shared_ptr<TaskControl::Shared>& shared);
  void complete(const std::shared_ptr<TaskControl::Shared>& shared, std::exception_ptr failure);
  void join();

  std::shared_ptr<TaskControl::Shared> shared_;
  std::thread thread_;
  std::function<void()> onResult_;
  ErrorFn onError_;
  bool endedCancelled_ = false;
};

template <class Work, class OnResult>
bool BackgroundTask::start(Work work, OnResult onResult, ErrorFn onError) {
  using R = std::invoke_result_t<Work&, TaskControl&>;
  if constexpr (std::is_void_v<R>) {
    return launch(std::function<void(TaskControl&)>(std::move(work)), std::function<void()>(std::move(onResult)),
                  std::move(onError));
  } else {
    // The work fills the slot; the owner's thread reads it after the join.
    auto slot = std::make_shared<std::optional<R>>();
    return launch([work = std::move(work), slot](TaskControl& c) mutable { slot->emplace(work(c)); },
                  [onResult = std::move(onResult), slot]() mutable { onResult(std::move(**slot)); },
                  std::move(onError));
  }
}

}  // namespace tavrin::ui
