#pragma once
// The mounted file systems of the running system.
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::platform {

struct Mount {
  std::string mountPoint;
  std::string fileSystemType;
  bool readOnly = false;
  // What was mounted ("/dev/sda1", "tmpfs") and the device number of the file system ("8:1").
  // Default-initialised so that brace-initialised mounts of older callers stay whole.
  std::string source{};
  std::string device{};
};

// Parses the text of /proc/self/mountinfo (octal escapes such as \040 decoded).
std::vector<Mount> parseMountInfo(std::string_view text);
std::vector<Mount> mountedFileSystems();

}  // namespace tarnix::platform
