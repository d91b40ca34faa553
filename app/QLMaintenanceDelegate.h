#pragma once
#include "ui/QLAbstractMaintenaceDelegate.h"

namespace tarnix {

// The Maintenance pane's further steps: the kext folder repairs.
class QLMaintenanceDelegate : public QLAbstractMaintenaceDelegate {
 public:
  virtual void willRepairFolders() = 0;
  virtual void didRepairFolders() = 0;
};

}  // namespace tarnix
