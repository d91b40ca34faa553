#include "platform/Clock.h"

#include <ctime>

namespace tarnix::platform {

std::uint64_t monotonicNanoseconds() {
  timespec now{};
  // The coarse clock (a few milliseconds of resolution) is read for every item of a
  // repair; intervals measured with it are a second or more.
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

}  // namespace tarnix::platform
