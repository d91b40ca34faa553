#pragma once
#include <cstdint>

namespace tarnix::platform {

// Monotonic clock, nanoseconds since boot.
std::uint64_t monotonicNanoseconds();

}  // namespace tarnix::platform
