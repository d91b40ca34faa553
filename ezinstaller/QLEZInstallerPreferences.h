#pragma once
// The EZ installer's user defaults: the installation folder, the appearance and, because the
// running system is usually not macOS here, the macOS volume to install into.
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/QLKernelExtensionFolder.h"
#include "model/QLOSVolume.h"
#include "model/QLPreferenceStore.h"

namespace tarnix::ezinstaller {

inline constexpr std::string_view kQLDefaultKextInstallationFolder = "QLDefaultKextInstallationFolder";
inline constexpr std::string_view kQLDefaultAppearanceMode = "QLDefaultAppearanceMode";
// The mount point chosen in the preference pane; used when "/" is not a macOS volume.
inline constexpr std::string_view kQLDefaultTargetVolumePath = "QLDefaultTargetVolumePath";

enum class QLMainEZInstallerAppearanceMode { LightMode, DarkMode };
std::string_view rawValue(QLMainEZInstallerAppearanceMode mode);
std::optional<QLMainEZInstallerAppearanceMode> appearanceModeFromRawValue(std::string_view raw);

class QLEZInstallerPreferences {
 public:
  // Backed by the application's own settings file (domain local.quillon.tarnix.ezinstaller).
  static QLEZInstallerPreferences& shared();
  explicit QLEZInstallerPreferences(QLPreferenceStore& store) : store_(store) {}

  // The smart table and the light appearance, each only where nothing is stored.
  void registerDefaults();

  // Nothing when the stored text is not one of the five folder raw values.
  std::optional<QLKernelExtensionFolder> installationFolder() const;
  void setInstallationFolder(QLKernelExtensionFolder folder);
  // Light unless "DarkMode" is stored.
  QLMainEZInstallerAppearanceMode appearanceMode() const;
  void setAppearanceMode(QLMainEZInstallerAppearanceMode mode);
  std::optional<std::string> targetVolumePath() const;
  void setTargetVolumePath(const std::string& path);

  QLPreferenceStore& store() { return store_; }

 private:
  std::optional<std::string> text(std::string_view key) const;
  QLPreferenceStore& store_;
};

// The volume the installer works on: `root` when it carries a macOS system that is not a
// recovery system, otherwise the stored volume under the same rules; nothing without either.
std::optional<QLOSVolume> resolveTargetVolume(const std::optional<std::string>& storedPath,
                                              const std::string& root = "/");

}  // namespace tarnix::ezinstaller
