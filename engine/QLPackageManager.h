#pragma once
// The resource list of one volume: every file named by its repair-group receipts that exists
// on it, each path once.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/QLFileSystemResource.h"
#include "engine/QLPackageManagerDelegate.h"
#include "engine/QLStandardPackage.h"
#include "model/QLOSVolume.h"
#include "platform/VolumeTree.h"

namespace tarnix {

class QLPackageManager {
 public:
  QLPackageManager(QLOSVolume targetVolume, long numThreads,
                   platform::VolumeTrees& trees = platform::linuxVolumeTrees());

  QLPackageManagerDelegate* delegate() const { return delegate_; }
  void setDelegate(QLPackageManagerDelegate* delegate) { delegate_ = delegate; }
  // Only receipts with this identifier (the command line's --package).
  void setPackageFilter(std::optional<std::string> identifier) { packageFilter_ = std::move(identifier); }

  // Receipt property lists beneath <mountPoint>/System/Library/Receipts/, sub-folders
  // included, in enumeration order.
  static std::vector<std::string> receiptPaths(const std::string& mountPoint);
  static std::vector<QLStandardPackage> standardPackages(const std::string& mountPoint);

  // Blocking. Items of earlier receipts win over later ones with the same path.
  std::shared_ptr<QLResourceList> parse();

 private:
  QLPackageManagerDelegate* delegate_ = nullptr;
  QLOSVolume targetVolume_;
  long numThreads_;
  platform::VolumeTrees& trees_;
  std::optional<std::string> packageFilter_;
};

}  // namespace tarnix
