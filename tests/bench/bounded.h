// Test helper: runs a callable on its own thread and gives up on the whole
// test program when it does not finish in time, so a hang (a thread left
// waiting at a barrier) fails loudly instead of stalling CI.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <utility>

namespace brisk::test {

template <typename F>
auto run_bounded(F&& body, std::chrono::seconds limit = std::chrono::seconds(120)) {
  using R = decltype(body());
  auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(body));
  std::future<R> done = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (done.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "test body did not finish within %lld s: a thread hangs\n",
                 static_cast<long long>(limit.count()));
    std::abort();
  }
  return done.get();
}

}  // namespace brisk::test
