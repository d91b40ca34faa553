#pragma once
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/QLOSVolume.h"
#include "platform/Mounts.h"

namespace tarnix {

// A mounted file system whose root holds a readable macOS system.
struct QLMountedVolume {
  QLOSVolume volume;
  std::string fileSystemType;
  bool readOnly = false;
};

// The process-wide target volume of the panes and the command line. On Linux "/" is usually
// not a macOS volume, so the selection may be empty until the user picks one.
class QLOSVolumeManager {
 public:
  static QLOSVolumeManager& shared();

  std::optional<QLOSVolume> selected() const;
  void setSelected(std::optional<QLOSVolume> volume);

  // The macOS volumes among `mounts`: those whose root holds a readable SystemVersion.plist,
  // HFS+ and APFS mounts first, otherwise in mount order. The no-argument form asks the system.
  static std::vector<QLMountedVolume> mountedVolumes(const std::vector<platform::Mount>& mounts);
  static std::vector<QLMountedVolume> mountedVolumes();

 private:
  QLOSVolumeManager();
  mutable std::mutex mutex_;
  std::optional<QLOSVolume> selected_;
};

}  // namespace tarnix
