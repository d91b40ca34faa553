#pragma once
#include <optional>
#include <string>

#include "model/QLOSVersion.h"

namespace tarnix {

// A mounted volume that carries a macOS system.
class QLOSVolume {
 public:
  // Drops one trailing slash (except from "/"). Nothing when the volume has no readable,
  // well-formed SystemVersion.plist.
  static std::optional<QLOSVolume> initWithMountPoint(std::string mountPoint);
  // Archived values are taken as they are; the disk is not read.
  static QLOSVolume fromArchive(std::string mountPoint, QLOSVersion osVersion);

  // Read from the file system on every call.
  bool isRecovery() const;
  bool hasExtraFolder() const;
  std::size_t hashValue() const;

  std::string mountPoint;
  QLOSVersion osVersion;

 private:
  QLOSVolume(std::string mount, QLOSVersion version) : mountPoint(std::move(mount)), osVersion(std::move(version)) {}
};

}  // namespace tarnix
