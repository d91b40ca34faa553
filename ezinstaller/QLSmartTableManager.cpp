#include "ezinstaller/QLSmartTableManager.h"

#include <QFile>
#include <QStandardPaths>
#include <cstdlib>

#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix::ezinstaller {
namespace {

constexpr const char* kWhere = "QLSMTMgr::allocate():";

platform::Plist readDictionary(const std::string& path) {
  const auto bytes = platform::readFile(path);
  if (!bytes) return nullptr;
  return platform::parseDictionary(*bytes);
}

// "Contents" as string to string; nothing when it is missing or holds anything else.
std::optional<std::map<std::string, std::string>> stringContents(plist_t dict) {
  plist_t contents = plist_dict_get_item(dict, "Contents");
  if (!contents || plist_get_node_type(contents) != PLIST_DICT) return std::nullopt;
  std::map<std::string, std::string> table;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(contents, &iterator);
  bool wellFormed = true;
  while (iterator) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(contents, iterator, &key, &value);
    if (!key) break;
    if (value && plist_get_node_type(value) == PLIST_STRING) {
      char* text = nullptr;
      plist_get_string_val(value, &text);
      table.emplace(key, text ? text : "");
      std::free(text);
    } else {
      wellFormed = false;
    }
    std::free(key);
  }
  std::free(iterator);
  if (!wellFormed) return std::nullopt;
  return table;
}

}  // namespace

const char* errorName(QLSmartTableManagerError error) {
  switch (error) {
    case QLSmartTableManagerError::failedToFindDefaultSmartTable: return "failedToFindDefaultSmartTable";
    case QLSmartTableManagerError::failedToAllocateDefaultSmartTable: return "failedToAllocateDefaultSmartTable";
    case QLSmartTableManagerError::failedToFindLocalTableVersion: return "failedToFindLocalTableVersion";
    case QLSmartTableManagerError::failedToFindInternalTableVersion: return "failedToFindInternalTableVersion";
  }
  return "";
}

QLSmartTableManager& QLSmartTableManager::shared() {
  static QLSmartTableManager manager;
  return manager;
}

QLSmartTableManager::QLSmartTableManager()
    : supportFolder(ezInstallerSupportFolder()), informationList(&applicationInformationList) {}

std::optional<QLSmartTableManagerError> QLSmartTableManager::allocate() {
  const platform::Plist information = informationList ? informationList() : nullptr;
  plist_t builtIn = information ? plist_dict_get_item(information.get(), kDefaultSmartTableKey) : nullptr;
  if (!builtIn || plist_get_node_type(builtIn) != PLIST_DICT) {
    platform::diagnostic(kWhere, "Failed to find the QLDefaultSmartTable Key-value.");
    return QLSmartTableManagerError::failedToFindDefaultSmartTable;
  }
  const std::string path = localTablePath();
  if (platform::pathExists(path)) {
    platform::diagnostic(kWhere, "Local table does exist.");
    const platform::Plist local = readDictionary(path);
    const auto localVersion = local ? platform::dictString(local.get(), "Version") : std::nullopt;
    if (!localVersion) {
      platform::diagnostic(kWhere, "Failed to find the local version.");
      return QLSmartTableManagerError::failedToFindLocalTableVersion;
    }
    const auto internalVersion = platform::dictString(builtIn, "Version");
    if (!internalVersion) {
      platform::diagnostic(kWhere, "Failed to find the internal table version.");
      return QLSmartTableManagerError::failedToFindInternalTableVersion;
    }
    // By characters, not by number: a user's table stays while its version does not sort
    // below the built-in one.
    if (*localVersion >= *internalVersion) {
      platform::diagnostic(kWhere, "localVersion >= internalVersion.");
      return std::nullopt;
    }
    platform::diagnostic(kWhere,
                         "localVersion < internalVersion. Local: " + *localVersion + " Internl: " + *internalVersion);
  }
  // Every key of the built-in dictionary goes along, not only the two that are read back.
  if (platform::replaceFileAtomically(path, platform::toXml(builtIn)) != 0) {
    platform::diagnostic(kWhere, "Failed to allocate default table on local disk.");
    return QLSmartTableManagerError::failedToAllocateDefaultSmartTable;
  }
  platform::diagnostic(kWhere, "Default table has been allocated.");
  return std::nullopt;
}

void QLSmartTableManager::load(const std::string& path) {
  const platform::Plist dict = readDictionary(path);
  loadDictionary(dict.get());
}

void QLSmartTableManager::loadForInstallation() {
  if (!useBuiltInTable) return load(localTablePath());
  const platform::Plist information = informationList ? informationList() : nullptr;
  loadDictionary(information ? plist_dict_get_item(information.get(), kDefaultSmartTableKey) : nullptr);
}

void QLSmartTableManager::loadDictionary(plist_t dict) {
  table_.clear();
  if (!dict || plist_get_node_type(dict) != PLIST_DICT) return;
  auto contents = stringContents(dict);
  auto version = platform::dictString(dict, "Version");
  if (!contents || !version) return;
  table_ = std::move(*contents);
  version_ = std::move(version);
}

QLKernelExtensionFolder QLSmartTableManager::folderForKext(const std::string& bundleName) const {
  const auto found = table_.find(bundleName);
  if (found == table_.end()) return QLKernelExtensionFolder::LibraryExtensions;
  const auto folder = kernelExtensionFolderFromRawValue(found->second);
  // The two EZ installer choices are no place to put a kext, so they count as invalid too.
  if (!folder || !isInstallableFolder(*folder)) {
    platform::diagnostic("QLSMTMgr::folderForKext():",
                         "Invalid folder " + found->second + " for " + bundleName + ", using /Library/Extensions/.");
    return QLKernelExtensionFolder::LibraryExtensions;
  }
  return *folder;
}

platform::Plist applicationInformationList() {
  QFile file(QStringLiteral(":/ezinstaller/Info.plist"));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray bytes = file.readAll();
  return platform::parseDictionary(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::string ezInstallerSupportFolder() {
  return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tarnix EZInstaller"))
      .toStdString();
}

}  // namespace tarnix::ezinstaller
