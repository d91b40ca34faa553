#pragma once
#include <cstdint>
#include <vector>

#include "engine/QLStandardPackage.h"
#include "model/QLOSVolume.h"

namespace tarnix {

// Progress of reading a volume's receipts. didCreateResource comes on the serial working
// queue, the others on the thread that called parse.
class QLPackageManagerDelegate {
 public:
  virtual ~QLPackageManagerDelegate() = default;
  virtual void willGetPackages(const QLOSVolume& volume) = 0;
  virtual void didGetPackages(const QLOSVolume& volume) = 0;
  virtual void willParsePackages(const std::vector<QLStandardPackage>& packages) = 0;
  virtual void didParsePackages(const std::vector<QLStandardPackage>& packages) = 0;
  virtual void didParsePackage(const QLStandardPackage& package, std::int64_t parsed, std::int64_t total) = 0;
  virtual void willCreateResources() = 0;
  virtual void didCreateResource(std::int64_t created, std::int64_t total) = 0;
  virtual void didCreateResources() = 0;
};

}  // namespace tarnix
