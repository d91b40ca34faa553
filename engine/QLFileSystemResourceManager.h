#pragma once
// Verifies or repairs a whole resource list on several threads.
#include <memory>
#include <vector>

#include "engine/QLFileSystemResource.h"
#include "engine/QLFileSystemResourceManagerDelegate.h"
#include "engine/QLRepairPermissionsResult.h"
#include "platform/VolumeTree.h"

namespace tarnix {

using QLResourceList = std::vector<std::shared_ptr<const QLFileSystemResource>>;

class QLFileSystemResourceManager {
 public:
  // `mountPoint` is where the repair opens its volume trees (each worker its own).
  QLFileSystemResourceManager(QLResourceList resources, long numThreads, std::string mountPoint,
                              platform::VolumeTrees& trees = platform::linuxVolumeTrees());

  QLFileSystemResourceManagerDelegate* delegate() const { return delegate_; }
  void setDelegate(QLFileSystemResourceManagerDelegate* delegate) { delegate_ = delegate; }

  // Blocking. The results of one chunk stay together and in item order; chunks follow each
  // other in the order they finished.
  std::vector<QLRepairPermissionsResult> verify();
  std::vector<QLRepairPermissionsResult> repair();

  const QLResourceList& resources() const { return resources_; }

 private:
  std::vector<QLRepairPermissionsResult> run(bool repairing);

  QLFileSystemResourceManagerDelegate* delegate_ = nullptr;
  QLResourceList resources_;
  long numThreads_;
  std::string mountPoint_;
  platform::VolumeTrees& trees_;
};

}  // namespace tarnix
