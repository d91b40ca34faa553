#include "platform/BootProbe.h"

#include "platform/Files.h"
#include "platform/Process.h"

namespace tarnix::platform {

bool isSingleUserCommandLine(std::string_view commandLine) {
  while (!commandLine.empty()) {
    const auto start = commandLine.find_first_not_of(" \t\n");
    if (start == std::string_view::npos) break;
    commandLine.remove_prefix(start);
    const auto end = commandLine.find_first_of(" \t\n");
    const std::string_view word = commandLine.substr(0, end);
    commandLine = end == std::string_view::npos ? std::string_view() : commandLine.substr(end);
    if (word == "--") break;  // what follows belongs to init, not to the kernel
    if (word == "single" || word == "S" || word == "s" || word == "1" || word == "-s" || word == "emergency" ||
        word == "rescue" || word == "systemd.unit=rescue.target" || word == "systemd.unit=emergency.target")
      return true;
  }
  return false;
}

bool isSingleUserBoot() {
  if (const auto text = readFile("/proc/cmdline", 1 << 16); text && isSingleUserCommandLine(*text)) return true;
  // A system switched to rescue or emergency after boot. Only systemd can say, and only when
  // it runs the system (the test sd_booted() makes).
  if (!isDirectory("/run/systemd/system")) return false;
  for (const char* target : {"rescue.target", "emergency.target"}) {
    if (!pathExists("/usr/bin/systemctl")) break;
    if (auto state = captureOutput("/usr/bin/systemctl", {"is-active", "--quiet", target}, 64)) return true;
  }
  return false;
}

}  // namespace tarnix::platform
