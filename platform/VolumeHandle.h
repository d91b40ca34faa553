#pragma once
// A volume held open by one descriptor. Everything done to a volume after it was opened (and,
// for an untrusted caller, checked) resolves its paths beneath this descriptor, so the folder
// that was checked is the folder that is worked on, whatever happens to its path meanwhile.
#include <optional>
#include <string>
#include <string_view>

namespace tarnix::platform {

class VolumeHandle {
 public:
  VolumeHandle(int fd, std::string mountPoint, bool confined)
      : fd_(fd), mountPoint_(std::move(mountPoint)), confined_(confined) {}
  VolumeHandle(VolumeHandle&& other) noexcept;
  VolumeHandle& operator=(VolumeHandle&& other) noexcept;
  VolumeHandle(const VolumeHandle&) = delete;
  VolumeHandle& operator=(const VolumeHandle&) = delete;
  ~VolumeHandle();

  int fd() const { return fd_; }
  // The path the volume was opened by, for messages and results.
  const std::string& mountPoint() const { return mountPoint_; }
  // A path to the held folder itself ("/proc/self/fd/N"), for code that takes a root path.
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
  // Whether work on it must stay on its own file system (never cross into another mount).
  bool confined() const { return confined_; }

 private:
  int fd_;
  std::string mountPoint_;
  bool confined_;
};

// Why a volume was not accepted from an untrusted caller.
enum class VolumeRefusal {
  unreachable,         // cannot be opened as a folder without following a link
  notAMountRoot,       // a folder inside a file system, not the root of a mounted one
  foreignMount,        // not a mount of the daemon's own mount namespace
  notBlockDevice,      // no block device (loop devices count) behind the file system
  runningSystem,       // the running system's root, or the file system of its /usr, /etc, /var or /home
  missingNosuidNodev,  // not mounted nosuid,nodev
};

// A short English text for logs.
std::string_view describe(VolumeRefusal refusal);

struct VolumeOpening {
  std::optional<VolumeHandle> volume;
  VolumeRefusal refusal = VolumeRefusal::unreachable;  // when there is no volume
};

// The folder at `path` as it stands, for a caller trusted as much as the daemon itself.
VolumeOpening openVolume(const std::string& path);

// For every other caller: only the root of a mounted file system of this mount namespace,
// reached without links or magic links, backed by a block device, not holding the running
// system, and mounted nosuid,nodev. Work on it is confined to that mount.
VolumeOpening openTrustedVolume(const std::string& path);

}  // namespace tarnix::platform
