#pragma once
// Reading and changing the owner, group and mode of items beneath a volume root.
//
// Paths are relative to the root: "" names the root itself, "/System/Library" an item
// below it. Intermediate links are resolved inside the root; the final component is never
// followed, so a link's own attributes are read and changed, never its target's.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix::platform {

struct FileAttributes {
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
  std::uint32_t mode = 0;  // full st_mode: file type and permission bits

  bool isSymlink() const { return (mode & 0170000u) == 0120000u; }
  std::uint32_t permissions() const { return mode & 07777u; }
};

// One worker's view of a volume. Not thread-safe: each worker opens its own, which lets an
// implementation keep per-worker caches (the last parent directory, say).
class VolumeTree {
 public:
  virtual ~VolumeTree() = default;

  virtual std::optional<FileAttributes> attributes(std::string_view relative) = 0;

  // Each answers 0 or the errno of the failure. A missing uid or gid is left unchanged.
  virtual int changeOwner(std::string_view relative, std::optional<std::uint32_t> uid,
                          std::optional<std::uint32_t> gid) = 0;
  // `permissions` is the low twelve bits. Refused (EOPNOTSUPP) for a link, whose mode
  // cannot be set here without touching its target.
  virtual int changePermissions(std::string_view relative, std::uint32_t permissions) = 0;
};

// Opens trees; thread-safe.
class VolumeTrees {
 public:
  virtual ~VolumeTrees() = default;
  // Null when the root cannot be opened as a directory.
  virtual std::unique_ptr<VolumeTree> open(const std::string& root) = 0;
};

// The real file system.
VolumeTrees& linuxVolumeTrees();

class VolumeHandle;
// Trees of a volume held open (which must outlive them): `open` ignores its argument and works
// beneath the volume's descriptor, on the volume's own mount only when it is confined.
std::unique_ptr<VolumeTrees> volumeTreesOf(const VolumeHandle& volume);

}  // namespace tarnix::platform
