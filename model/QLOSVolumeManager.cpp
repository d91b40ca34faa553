#include "model/QLOSVolumeManager.h"

#include "platform/Files.h"

namespace tarnix {

QLOSVolumeManager& QLOSVolumeManager::shared() {
  static QLOSVolumeManager manager;
  return manager;
}

QLOSVolumeManager::QLOSVolumeManager() {
  // Only try "/" when it looks like macOS; a Linux root would print a diagnostic for nothing.
  if (platform::pathExists("/System/Library/CoreServices/SystemVersion.plist"))
    selected_ = QLOSVolume::initWithMountPoint("/");
}

std::optional<QLOSVolume> QLOSVolumeManager::selected() const {
  std::lock_guard lock(mutex_);
  return selected_;
}

void QLOSVolumeManager::setSelected(std::optional<QLOSVolume> volume) {
  std::lock_guard lock(mutex_);
  selected_ = std::move(volume);
}

}  // namespace tarnix
