#include "model/QLOSVersion.h"

#include <charconv>
#include <functional>
#include <vector>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

namespace tarnix {
namespace {

constexpr std::string_view kWhere = "QLOSVersion::init()";
constexpr std::size_t kPlistLimit = 1u << 20;

// An optional "+" or "-", then digits. from_chars takes a "-" but no "+", so a "+" is
// dropped first, and a sign after it ("+-10") is refused.
std::optional<std::int64_t> parseComponent(std::string_view piece) {
  if (!piece.empty() && piece.front() == '+') {
    piece.remove_prefix(1);
    if (!piece.empty() && piece.front() == '-') return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
  if (piece.empty() || error != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<QLOSVersion> QLOSVersion::initWithMointPoint(const std::string& mountPoint) {
  const auto bytes =
      platform::readFileBeneath(mountPoint, "/System/Library/CoreServices/SystemVersion.plist", kPlistLimit);
  if (!bytes) {
    platform::diagnostic(kWhere, "Error: Failed to find the info dictionary.");
    return std::nullopt;
  }
  return fromPropertyList(*bytes);
}

std::optional<QLOSVersion> QLOSVersion::fromPropertyList(std::string_view bytes) {
  const auto dictionary = platform::parseDictionary(bytes);
  if (!dictionary) {
    platform::diagnostic(kWhere, "Error: Failed to find the info dictionary.");
    return std::nullopt;
  }
  auto productVersion = platform::dictString(dictionary.get(), "ProductVersion");
  if (!productVersion) {
    platform::diagnostic(kWhere, "Error: Failed to find the os version.");
    return std::nullopt;
  }
  auto build = platform::dictString(dictionary.get(), "ProductBuildVersion");
  if (!build) {
    platform::diagnostic(kWhere, "Error: Failed to find the os build version.");
    return std::nullopt;
  }
  std::vector<std::string_view> pieces;
  std::string_view rest = *productVersion;
  while (!rest.empty()) {
    const auto dot = rest.find('.');
    const std::string_view piece = rest.substr(0, dot);
    if (!piece.empty()) pieces.push_back(piece);
    if (dot == std::string_view::npos) break;
    rest.remove_prefix(dot + 1);
  }
  std::vector<std::int64_t> numbers;
  for (auto piece : pieces) {
    const auto number = parseComponent(piece);
    // A component such as "beta" makes the string as malformed as a wrong count.
    if (!number) break;
    numbers.push_back(*number);
  }
  if ((pieces.size() != 2 && pieces.size() != 3) || numbers.size() != pieces.size()) {
    platform::diagnostic(kWhere, "Error: Invalid os version string.");
    return std::nullopt;
  }
  QLOSVersion result;
  result.majorVersion = numbers[0];
  result.minorVersion = numbers[1];
  result.patchVersion = numbers.size() == 3 ? numbers[2] : 0;
  result.version = std::move(*productVersion);
  result.buildVersion = std::move(*build);
  return result;
}

QLOSVersion QLOSVersion::fromArchive(std::int64_t major, std::int64_t minor, std::int64_t patch, std::string version,
                                     std::string buildVersion) {
  QLOSVersion result;
  result.majorVersion = major;
  result.minorVersion = minor;
  result.patchVersion = patch;
  result.version = std::move(version);
  result.buildVersion = std::move(buildVersion);
  return result;
}

std::string QLOSVersion::getOSName() const {
  static constexpr const char* kNames[] = {
      "Mac OS X Cheetah", "Mac OS X Puma",         "Mac OS X Jaguar", "Mac OS X Panther",   "Mac OS X Tiger",
      "Mac OS X Leopard", "Mac OS X Snow Leopard", "Mac OS X Lion",   "OS X Mountain Lion", "OS X Mavericks",
      "OS X Yosemite",    "OS X El Capitan",       "macOS Sierra",    "macOS High Sierra"};
  if (minorVersion >= 0 && minorVersion < static_cast<std::int64_t>(std::size(kNames))) return kNames[minorVersion];
  return "macOS 10." + std::to_string(minorVersion) + " <TBA>";
}

std::string QLOSVersion::getOSVersionString() const { return getOSName() + " " + getOSVersionShortString(); }

std::string QLOSVersion::getOSVersionShortString() const { return version + " (" + buildVersion + ")"; }

std::size_t QLOSVersion::hashValue() const { return std::hash<std::string>{}(buildVersion); }

}  // namespace tarnix
