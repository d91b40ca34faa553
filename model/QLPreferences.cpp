#include "model/QLPreferences.h"

namespace tarnix {
namespace {

template <typename T>
std::optional<T> typed(const QLPreferenceStore& store, const QLPreferenceKey& key) {
  auto value = store.value(key.name);
  if (!value || !std::holds_alternative<T>(*value)) return std::nullopt;
  return std::get<T>(*value);
}

// What a URL path segment holds as it is (RFC 3986 pchar: unreserved, sub-delims, ":" and "@").
bool isPathCharacter(unsigned char c) {
  static constexpr std::string_view kMarks = "-._~!$&'()*+,;=:@";
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         kMarks.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string fileURLFromPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char raw : path) {
    const auto c = static_cast<unsigned char>(raw);
    if (isPathCharacter(c) || c == '/') {
      url.push_back(raw);
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 0xF]);
    }
  }
  return url;
}

void QLPreferences::registerDefaults(std::string_view supportFolder, std::int64_t processorCount) {
  auto registerDefault = [this](const QLPreferenceKey& key, QLPreferenceValue value) {
    // A value the user's file holds in another type stays: it reads as absent, and is not lost.
    if (!store_.contains(key.name)) store_.setValue(key.name, std::move(value));
  };
  std::string folder(supportFolder);
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  folder.append(kQLKextsBackupFolderName).push_back('/');

  registerDefault(kQLPreferenceEnableEZInstallationMode, true);
  registerDefault(kQLPreferencePreferredKextsBackupFolderPath, fileURLFromPath(folder));
  registerDefault(kQLPreferenceSilenceSIPWarning, false);
  registerDefault(kQLPreferenceRepairPermissionsMaximumThreadsNumber, processorCount);
}

std::optional<std::string> QLPreferences::navLastRootDirectory() const {
  return typed<std::string>(store_, kQLPreferenceNavLastRootDirectory);
}

void QLPreferences::setNavLastRootDirectory(std::string folder) {
  store_.setValue(kQLPreferenceNavLastRootDirectory.name, std::move(folder));
}

std::string QLPreferences::openPanelDirectory() const {
  auto folder = navLastRootDirectory();
  return folder ? *folder : std::string(kQLDefaultOpenPanelDirectory);
}

bool QLPreferences::enableEZInstallationMode() const {
  return typed<bool>(store_, kQLPreferenceEnableEZInstallationMode).value_or(true);
}
void QLPreferences::setEnableEZInstallationMode(bool enabled) {
  store_.setValue(kQLPreferenceEnableEZInstallationMode.name, enabled);
}

std::optional<std::string> QLPreferences::preferredKextsBackupFolderURL() const {
  return typed<std::string>(store_, kQLPreferencePreferredKextsBackupFolderPath);
}
void QLPreferences::setPreferredKextsBackupFolderURL(std::string url) {
  store_.setValue(kQLPreferencePreferredKextsBackupFolderPath.name, std::move(url));
}

bool QLPreferences::silenceSIPWarning() const {
  return typed<bool>(store_, kQLPreferenceSilenceSIPWarning).value_or(false);
}
void QLPreferences::setSilenceSIPWarning(bool silence) {
  store_.setValue(kQLPreferenceSilenceSIPWarning.name, silence);
}

std::optional<std::int64_t> QLPreferences::repairPermissionsMaximumThreadsNumber() const {
  return typed<std::int64_t>(store_, kQLPreferenceRepairPermissionsMaximumThreadsNumber);
}
void QLPreferences::setRepairPermissionsMaximumThreadsNumber(std::int64_t threads) {
  store_.setValue(kQLPreferenceRepairPermissionsMaximumThreadsNumber.name, threads);
}

std::optional<std::string> QLPreferences::lastTargetVolumePath() const {
  return typed<std::string>(store_, kQLPreferenceLastTargetVolumePath);
}
void QLPreferences::setLastTargetVolumePath(std::string mountPoint) {
  store_.setValue(kQLPreferenceLastTargetVolumePath.name, std::move(mountPoint));
}

void QLPreferences::resetAll() { store_.removeAll(); }

}  // namespace tarnix
