#include "ui/common/secret_store_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tavrin::ui {

namespace {

class SecretStoreThread {
 public:
  ~SecretStoreThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void post(std::function<void()> f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(f));
      if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
    }
    wake_.notify_one();
  }

 private:
  void loop() {
    for (;;) {
      std::function<void()> next;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, nothing left
        next = std::move(queue_.front());
        queue_.pop_front();
      }
      next();  // a packaged task: what it throws goes to its future
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

SecretStoreThread& instance() {
  static SecretStoreThread thread;
  return thread;
}

}  // namespace

void postToSecretStoreThread(std::function<void()> f) { instance().post(std::move(f)); }

}  // namespace tavrin::ui
