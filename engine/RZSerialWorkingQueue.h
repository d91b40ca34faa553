#pragma once
// The engine's one serial working queue: every update of shared results, counters and
// progress made by worker tasks runs through it, one at a time.
#include <mutex>
#include <string_view>

namespace tarnix {

class RZSerialWorkingQueue {
 public:
  static constexpr std::string_view kLabel = "local.quillon.libBramble.serialWorkingQueue";

  static RZSerialWorkingQueue& shared();

  template <typename Task>
  void sync(Task&& task) {
    std::lock_guard lock(mutex_);
    task();
  }

 private:
  RZSerialWorkingQueue() = default;
  std::mutex mutex_;
};

}  // namespace tarnix
