#pragma once
// What a pane learns of each step of the helper calls its base makes. Called on the GUI
// thread: replies are moved there before they reach the delegate.
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "model/QLKernelExtension.h"

namespace tarnix {

class QLAbstractMaintenaceDelegate {
 public:
  virtual ~QLAbstractMaintenaceDelegate() = default;
  virtual void willRepairDiskPermissions() = 0;
  virtual void didRepairDiskPermissionsWithResults(std::vector<QLRepairPermissionsRepresentableResult> results) = 0;
  virtual void willRebuildCaches() = 0;
  virtual void didRebuildCaches() = 0;
  virtual void willBackupKexts() = 0;
  virtual void didBackupKexts(std::vector<QLKernelExtension> failed) = 0;
  virtual void willInstallKexts() = 0;
  virtual void didInstallKexts(std::vector<QLKernelExtension> failed) = 0;
};

}  // namespace tarnix
