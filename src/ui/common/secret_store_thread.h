#pragma once
#include <functional>
#include <future>
#include <memory>
#include <type_traits>
#include <utility>

namespace tavrin::ui {

// The desktop's secret store (QtKeychain) runs its jobs through one object
// that belongs to the thread that used it first: a job started on another
// thread once that one has ended is never run, and waits out its time. So
// every call into the secret store is made on this one thread, which lives
// as long as the process. runOnSecretStoreThread() blocks the calling thread
// (a task's, never the UI thread) until f has run there, and gives back its
// result or rethrows what it threw.
void postToSecretStoreThread(std::function<void()> f);

template <class F>
auto runOnSecretStoreThread(F f) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
  std::future<R> result = task->get_future();
  postToSecretStoreThread([task] { (*task)(); });
  return result.get();
}

}  // namespace tavrin::ui
