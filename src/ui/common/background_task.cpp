#include "ui/common/background_task.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include "base/log.h"

namespace tavrin::ui {

// What the work's thread and the owner share for one run. The owner pointer
// stays valid while the thread runs: the owner joins it before it goes.
struct TaskControl::Shared {
  BackgroundTask* owner = nullptr;
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  bool progressPending = false;
  std::size_t done = 0, total = 0;
  QString text;
};

bool TaskControl::cancelled() const { return shared_->cancel.load(); }

void TaskControl::progress(std::size_t done, std::size_t total, const QString& text) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->done = done;
  shared_->total = total;
  shared_->text = text;
  if (shared_->progressPending) return;
  shared_->progressPending = true;
  BackgroundTask* owner = shared_->owner;
  QMetaObject::invokeMethod(
      owner, [owner, shared = shared_] { owner->deliverProgress(shared); }, Qt::QueuedConnection);
}

void TaskControl::post(std::function<void()> f) {
  BackgroundTask* owner = shared_->owner;
  QMetaObject::invokeMethod(
      owner,
      [owner, shared = shared_, f = std::move(f)] {
        if (owner->shared_ == shared) f();
      },
      Qt::QueuedConnection);
}

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
  if (shared_) shared_->cancel = true;
  join();
  // Reports still queued for this object are dropped with it.
}

void BackgroundTask::join() {
  if (thread_.joinable()) thread_.join();
}

bool BackgroundTask::launch(std::function<void(TaskControl&)> work, std::function<void()> onResult, ErrorFn onError) {
  if (running()) return false;
  join();
  auto shared = std::make_shared<TaskControl::Shared>();
  shared->owner = this;
  shared_ = shared;
  onResult_ = std::move(onResult);
  onError_ = std::move(onError);
  try {
    thread_ = std::thread([shared, work = std::move(work)]() mutable {
      std::exception_ptr failure;
      try {
        TaskControl control(shared);
        work(control);
      } catch (...) {
        failure = std::current_exception();
      }
      // Posted last: every report of the run reaches the owner before it.
      BackgroundTask* owner = shared->owner;
      QMetaObject::invokeMethod(
          owner, [owner, shared, failure] { owner->complete(shared, failure); }, Qt::QueuedConnection);
    });
  } catch (...) {
    // No thread: the failure is delivered like one of the work.
    QMetaObject::invokeMethod(
        this, [this, shared, failure = std::current_exception()] { complete(shared, failure); }, Qt::QueuedConnection);
  }
  return true;
}

void BackgroundTask::cancel() {
  if (shared_) shared_->cancel = true;
}

bool BackgroundTask::cancelRequested() const { return shared_ ? shared_->cancel.load() : endedCancelled_; }

void BackgroundTask::deliverProgress(const std::shared_ptr<TaskControl::Shared>& shared) {
  if (shared != shared_) return;
  std::size_t done = 0, total = 0;
  QString text;
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->progressPending = false;
    done = shared->done;
    total = shared->total;
    text = shared->text;
  }
  emit progressed(static_cast<qint64>(done), static_cast<qint64>(total), text);
}

void BackgroundTask::complete(const std::shared_ptr<TaskControl::Shared>& shared, std::exception_ptr failure) {
  if (shared != shared_) return;
  join();
  endedCancelled_ = shared->cancel.load();
  std::function<void()> onResult = std::move(onResult_);
  ErrorFn onError = std::move(onError_);
  onResult_ = nullptr;
  onError_ = nullptr;
  shared_.reset();
  QPointer<BackgroundTask> self(this);
  // The callbacks may start another run or destroy this object.
  try {
    if (failure) {
      if (onError) onError(failure);
    } else if (onResult) {
      onResult();
    }
  } catch (const std::exception& e) {
    logLine("background task", e.what());
  } catch (...) {
    logLine("background task", "unknown exception");
  }
  if (self) emit finished();
}

bool BackgroundTask::wait(int timeoutMs) {
  if (!running()) return true;
  QEventLoop loop;
  bool ended = false;
  connect(this, &BackgroundTask::finished, &loop, [&] {
    ended = true;
    loop.quit();
  });
  connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
  QTimer timer;
  if (timeoutMs >= 0) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
  }
  loop.exec();
  return ended;
}

std::string BackgroundTask::message(std::exception_ptr error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace tavrin::ui
