#include "platform/Mounts.h"

#include <charconv>

#include "platform/Files.h"

namespace tarnix::platform {
namespace {

std::string unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  const auto octal = [](char c) { return c >= '0' && c <= '7'; };
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
      i += 3;
      continue;
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  while (!line.empty()) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    const auto end = line.find(' ');
    out.push_back(line.substr(0, end));
    line = end == std::string_view::npos ? std::string_view() : line.substr(end);
  }
  return out;
}

}  // namespace

bool Mount::hasOption(std::string_view option) const {
  std::string_view rest = options;
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    if (rest.substr(0, comma) == option) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

std::vector<Mount> parseMountInfo(std::string_view text) {
  std::vector<Mount> mounts;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const auto parts = fields(line);
    // id parent major:minor root mount-point options [optional...] - type source super-options
    std::size_t separator = 6;
    while (separator < parts.size() && parts[separator] != "-") ++separator;
    if (parts.size() < 5 || separator + 1 >= parts.size()) continue;
    Mount mount;
    mount.mountPoint = unescape(parts[4]);
    mount.fileSystemType = std::string(parts[separator + 1]);
    mount.options = std::string(parts[5]);
    mount.readOnly = mount.hasOption("ro");
    mount.root = unescape(parts[3]);
    std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), mount.mountId);
    mount.device = std::string(parts[2]);
    if (separator + 2 < parts.size()) mount.source = unescape(parts[separator + 2]);
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

std::vector<Mount> mountedFileSystems() {
  const auto text = readFile("/proc/self/mountinfo", 16u << 20);
  return text ? parseMountInfo(*text) : std::vector<Mount>{};
}

}  // namespace tarnix::platform
