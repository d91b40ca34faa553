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
  std::uint64_t mountId = 0;
  unsigned deviceMajor = 0, deviceMinor = 0;  // major 0: no block device behind it
  std::string root{};     // the folder of its file system mounted there
  std::string options{};  // the mount's own options ("rw,nosuid,nodev")

  // Whether the mount's own options hold `option` ("nosuid").
  bool hasOption(std::string_view option) const;
};

// Parses the text of /proc/self/mountinfo (octal escapes such as \040 decoded).
std::vector<Mount> parseMountInfo(std::string_view text);
std::vector<Mount> mountedFileSystems();

}  // namespace tarnix::platform
