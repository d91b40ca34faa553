#include "model/QLOSVolumeManager.h"

#include <algorithm>

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

std::vector<QLMountedVolume> QLOSVolumeManager::mountedVolumes(const std::vector<platform::Mount>& mounts) {
  std::vector<QLMountedVolume> found;
  for (const auto& mount : mounts) {
    // Pass over mounts without the file quietly rather than log a diagnostic for each.
    if (!platform::existsBeneath(mount.mountPoint, "/System/Library/CoreServices/SystemVersion.plist")) continue;
    auto volume = QLOSVolume::initWithMountPoint(mount.mountPoint);
    if (!volume) continue;
    found.push_back({std::move(*volume), mount.fileSystemType, mount.readOnly});
  }
  const auto rank = [](const QLMountedVolume& entry) {
    return entry.fileSystemType == "hfsplus" || entry.fileSystemType == "apfs" ? 0 : 1;
  };
  std::stable_sort(found.begin(), found.end(),
                   [&](const QLMountedVolume& a, const QLMountedVolume& b) { return rank(a) < rank(b); });
  return found;
}

std::vector<QLMountedVolume> QLOSVolumeManager::mountedVolumes() {
  return mountedVolumes(platform::mountedFileSystems());
}

}  // namespace tarnix
