#pragma once
#include <cstdint>

namespace tarnix {

// Progress of a verification or repair; called on the serial working queue, one call at a
// time, `count` rising by exactly one per item.
class QLFileSystemResourceManagerDelegate {
 public:
  virtual ~QLFileSystemResourceManagerDelegate() = default;
  virtual void didVerifyResource(std::int64_t count, std::int64_t total) = 0;
  virtual void didRepairResource(std::int64_t count, std::int64_t total) = 0;
};

}  // namespace tarnix
