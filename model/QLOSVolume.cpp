#include "model/QLOSVolume.h"

#include <functional>

#include "platform/Files.h"

namespace tarnix {

std::optional<QLOSVolume> QLOSVolume::initWithMountPoint(std::string mountPoint) {
  if (mountPoint.size() > 1 && mountPoint.back() == '/') mountPoint.pop_back();
  auto version = QLOSVersion::initWithMointPoint(mountPoint);
  if (!version) return std::nullopt;
  return QLOSVolume(std::move(mountPoint), std::move(*version));
}

QLOSVolume QLOSVolume::fromArchive(std::string mountPoint, QLOSVersion osVersion) {
  return QLOSVolume(std::move(mountPoint), std::move(osVersion));
}

bool QLOSVolume::isRecovery() const {
  if (platform::existsBeneath(mountPoint, "/System/Installation")) return true;
  return platform::pathExists("/com.apple.recovery.boot");
}

bool QLOSVolume::hasExtraFolder() const { return platform::existsBeneath(mountPoint, "/Extra"); }

std::size_t QLOSVolume::hashValue() const { return std::hash<std::string>{}(mountPoint); }

}  // namespace tarnix
