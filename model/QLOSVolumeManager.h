#pragma once
#include <mutex>
#include <optional>

#include "model/QLOSVolume.h"

namespace tarnix {

// The process-wide target volume of the panes and the command line. On Linux "/" is usually
// not a macOS volume, so the selection may be empty until the user picks one.
class QLOSVolumeManager {
 public:
  static QLOSVolumeManager& shared();

  std::optional<QLOSVolume> selected() const;
  void setSelected(std::optional<QLOSVolume> volume);

 private:
  QLOSVolumeManager();
  mutable std::mutex mutex_;
  std::optional<QLOSVolume> selected_;
};

}  // namespace tarnix
