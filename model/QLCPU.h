#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnix {

// The processor and the number of worker threads the permission repair may use.
class QLCPU {
 public:
  static QLCPU& shared();

  std::optional<std::string> name;
  std::optional<std::int64_t> numcore;
  std::optional<std::int64_t> numthread;

  // Written by the main thread or the helper's connection handler, read when a job starts.
  std::int64_t maxthread() const { return maxthread_.load(); }
  void setMaxthread(std::int64_t value) { maxthread_.store(value); }

  // "Brand 4C8T"; an absent name prints "Unknown", an absent count 0.
  std::string infoString() const;

  // A probe's values, for tests and the shared instance.
  QLCPU(std::optional<std::string> brand, std::optional<std::int64_t> cores, std::optional<std::int64_t> threads,
        std::int64_t processorCount);

 private:
  std::atomic<std::int64_t> maxthread_;
};

}  // namespace tarnix
