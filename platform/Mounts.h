#pragma once
// The mounted file systems of the running system.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::platform {

struct Mount {
  std::string mountPoint;
  std::string fileSystemType;
  bool readOnly = false;
  // What was mounted ("/dev/sda1", "tmpfs") and the device number of the file system ("8:1";
  // major 0: no block device behind it). Default-initialised so that brace-initialised mounts
  // of older callers stay whole.
  std::string source{};
  std::string device{};
  std::uint64_t mountId = 0;
  std::string root{};     // the folder of its file system mounted there
  std::string options{};  // the mount's own options ("rw,nosuid,nodev")

  // Whether the mount's own options hold `option` ("nosuid").
  bool hasOption(std::string_view option) const;
  // Whether a block device (loop devices count) holds its file system.
  bool onBlockDevice() const { return !device.empty() && device.rfind("0:", 0) != 0; }
};

// Parses the text of /proc/self/mountinfo (octal escapes such as \040 decoded).
std::vector<Mount> parseMountInfo(std::string_view text);
std::vector<Mount> mountedFileSystems();

}  // namespace tarnix::platform
