#pragma once
// The application's five user settings: their keys, types and first-launch defaults, and typed
// readers and writers over a preference store.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/QLPreferenceStore.h"

namespace tarnix {

enum class QLPreferenceType { string, boolean, fileURL, integer };

struct QLPreferenceKey {
  std::string_view name;
  QLPreferenceType type;
};

// The folder the last kext chooser was left in, where the next one opens.
inline constexpr QLPreferenceKey kQLPreferenceNavLastRootDirectory{"NSNavLastRootDirectory", QLPreferenceType::string};
inline constexpr QLPreferenceKey kQLPreferenceEnableEZInstallationMode{"QLEnableEZInstallationMode",
                                                                       QLPreferenceType::boolean};
inline constexpr QLPreferenceKey kQLPreferencePreferredKextsBackupFolderPath{"QLPreferredKextsBackupFolderPath",
                                                                             QLPreferenceType::fileURL};
inline constexpr QLPreferenceKey kQLPreferenceSilenceSIPWarning{"QLSilenceSIPWarning", QLPreferenceType::boolean};
inline constexpr QLPreferenceKey kQLPreferenceRepairPermissionsMaximumThreadsNumber{
    "QLRepairPermissionsMaximumThreadsNumber", QLPreferenceType::integer};
// The mount point of the volume last chosen, taken again at the next launch while it is valid.
inline constexpr QLPreferenceKey kQLPreferenceLastTargetVolumePath{"QLLastTargetVolumePath", QLPreferenceType::string};

inline constexpr std::array<QLPreferenceKey, 6> kQLPreferenceKeys{kQLPreferenceNavLastRootDirectory,
                                                                  kQLPreferenceEnableEZInstallationMode,
                                                                  kQLPreferencePreferredKextsBackupFolderPath,
                                                                  kQLPreferenceSilenceSIPWarning,
                                                                  kQLPreferenceRepairPermissionsMaximumThreadsNumber,
                                                                  kQLPreferenceLastTargetVolumePath};

// Where open panels start when the file panels have not remembered a folder.
inline constexpr std::string_view kQLDefaultOpenPanelDirectory = "~/Desktop/";
// The backup folder's name inside the application's support folder.
inline constexpr std::string_view kQLKextsBackupFolderName = "Kexts";

// "file://" and the path, percent-encoding only the bytes a URL path may not hold (a blank,
// '"', "#", "%", "?", "[", "]" and the like, control and non-ASCII bytes), as the platform's URL
// classes write a local file: "/home/o'brien/Backups (old)/" gives
// "file:///home/o'brien/Backups%20(old)/", which the URL-to-path rule turns back whole.
std::string fileURLFromPath(std::string_view path);

class QLPreferences {
 public:
  explicit QLPreferences(QLPreferenceStore& store) : store_(store) {}

  // Stores each default whose key has no value at all; stored values are never replaced, not
  // even one of another type (it reads as absent).
  // The backup folder is the Kexts subfolder of `supportFolder`, as a folder URL ending in "/".
  void registerDefaults(std::string_view supportFolder, std::int64_t processorCount);

  std::optional<std::string> navLastRootDirectory() const;
  void setNavLastRootDirectory(std::string folder);
  // The remembered folder, or kQLDefaultOpenPanelDirectory.
  std::string openPanelDirectory() const;

  // A value of another type than its key's counts as absent and reads as the default.
  bool enableEZInstallationMode() const;
  void setEnableEZInstallationMode(bool enabled);

  std::optional<std::string> preferredKextsBackupFolderURL() const;
  void setPreferredKextsBackupFolderURL(std::string url);

  bool silenceSIPWarning() const;
  void setSilenceSIPWarning(bool silence);

  // Nothing when no number is stored.
  std::optional<std::int64_t> repairPermissionsMaximumThreadsNumber() const;
  void setRepairPermissionsMaximumThreadsNumber(std::int64_t threads);

  std::optional<std::string> lastTargetVolumePath() const;
  void setLastTargetVolumePath(std::string mountPoint);

  // Forgets every stored value; the next registerDefaults stores the defaults again.
  void resetAll();

 private:
  QLPreferenceStore& store_;
};

}  // namespace tarnix
