#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tarnix {

// The system version installed on a volume, from its SystemVersion.plist.
class QLOSVersion {
 public:
  // Reads <mountPoint>/System/Library/CoreServices/SystemVersion.plist (resolved inside the
  // volume). Nothing, with a diagnostic line, when it is missing or malformed.
  static std::optional<QLOSVersion> initWithMointPoint(const std::string& mountPoint);
  // The same checks on the bytes of a SystemVersion.plist.
  static std::optional<QLOSVersion> fromPropertyList(std::string_view bytes);
  // Archived values are taken as they are.
  static QLOSVersion fromArchive(std::int64_t major, std::int64_t minor, std::int64_t patch, std::string version,
                                 std::string buildVersion);

  std::string getOSName() const;
  std::string getOSVersionString() const;       // "macOS High Sierra 10.13.2 (17C88)"
  std::string getOSVersionShortString() const;  // "10.13.2 (17C88)"
  std::size_t hashValue() const;

  std::int64_t majorVersion = 0;
  std::int64_t minorVersion = 0;
  std::int64_t patchVersion = 0;
  std::string version;
  std::string buildVersion;

 private:
  QLOSVersion() = default;
};

}  // namespace tarnix
