#include "ezinstaller/QLEZInstallerPreferences.h"

#include "app/core/QLApplicationLock.h"
#include "app/core/QLSettingsPreferenceStore.h"
#include "platform/Files.h"

namespace tarnix::ezinstaller {

std::string_view rawValue(QLMainEZInstallerAppearanceMode mode) {
  return mode == QLMainEZInstallerAppearanceMode::DarkMode ? "DarkMode" : "LightMode";
}

std::optional<QLMainEZInstallerAppearanceMode> appearanceModeFromRawValue(std::string_view raw) {
  if (raw == "LightMode") return QLMainEZInstallerAppearanceMode::LightMode;
  if (raw == "DarkMode") return QLMainEZInstallerAppearanceMode::DarkMode;
  return std::nullopt;
}

QLEZInstallerPreferences& QLEZInstallerPreferences::shared() {
  static QLSettingsPreferenceStore store{QLatin1String(kQLEZInstallerIdentifier)};
  static QLEZInstallerPreferences preferences(store);
  return preferences;
}

std::optional<std::string> QLEZInstallerPreferences::text(std::string_view key) const {
  const auto stored = store_.value(key);
  if (!stored) return std::nullopt;
  if (const auto* value = std::get_if<std::string>(&*stored)) return *value;
  return std::nullopt;
}

void QLEZInstallerPreferences::registerDefaults() {
  if (!store_.contains(kQLDefaultKextInstallationFolder))
    store_.setValue(kQLDefaultKextInstallationFolder,
                    std::string(tarnix::rawValue(QLKernelExtensionFolder::UseSmartTable)));
  if (!store_.contains(kQLDefaultAppearanceMode))
    store_.setValue(kQLDefaultAppearanceMode, std::string(rawValue(QLMainEZInstallerAppearanceMode::LightMode)));
}

std::optional<QLKernelExtensionFolder> QLEZInstallerPreferences::installationFolder() const {
  const auto stored = text(kQLDefaultKextInstallationFolder);
  return stored ? kernelExtensionFolderFromRawValue(*stored) : std::nullopt;
}

void QLEZInstallerPreferences::setInstallationFolder(QLKernelExtensionFolder folder) {
  store_.setValue(kQLDefaultKextInstallationFolder, std::string(tarnix::rawValue(folder)));
}

QLMainEZInstallerAppearanceMode QLEZInstallerPreferences::appearanceMode() const {
  const auto stored = text(kQLDefaultAppearanceMode);
  return stored ? appearanceModeFromRawValue(*stored).value_or(QLMainEZInstallerAppearanceMode::LightMode)
                : QLMainEZInstallerAppearanceMode::LightMode;
}

void QLEZInstallerPreferences::setAppearanceMode(QLMainEZInstallerAppearanceMode mode) {
  store_.setValue(kQLDefaultAppearanceMode, std::string(rawValue(mode)));
}

std::optional<std::string> QLEZInstallerPreferences::targetVolumePath() const {
  auto stored = text(kQLDefaultTargetVolumePath);
  if (stored && stored->empty()) return std::nullopt;
  return stored;
}

void QLEZInstallerPreferences::setTargetVolumePath(const std::string& path) {
  store_.setValue(kQLDefaultTargetVolumePath, path);
}

std::optional<QLOSVolume> resolveTargetVolume(const std::optional<std::string>& storedPath, const std::string& root) {
  for (const std::string* path : {&root, storedPath ? &*storedPath : nullptr}) {
    // Looked at quietly first: a Linux "/" is no error worth a diagnostic.
    if (!path || !platform::existsBeneath(*path, "/System/Library/CoreServices/SystemVersion.plist")) continue;
    auto volume = QLOSVolume::initWithMountPoint(*path);
    if (volume && !volume->isRecovery()) return volume;
  }
  return std::nullopt;
}

}  // namespace tarnix::ezinstaller
