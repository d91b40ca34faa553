#include "bootconfig/QLBootloaderConfigManager.h"

#include <cerrno>

#include "bootconfig/QLChameleonConfig.h"
#include "bootconfig/QLCloverConfig.h"
#include "bootconfig/QLOpenCoreConfig.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {

QLBootloaderConfigManager& QLBootloaderConfigManager::shared() {
  static QLBootloaderConfigManager& manager = *[] {
    auto* made = new QLBootloaderConfigManager;
    made->setJournal([](std::string operation, std::string target) {
      return std::make_unique<QLJournalRun>(
          std::vector<QLJournalPlace>{systemJournal()},
          QLJournalHeader{{}, {}, std::move(operation), std::move(target), "tarnix", platform::currentUserId(), {}});
    });
    return made;
  }();
  return manager;
}

std::shared_ptr<QLBootloaderConfig> QLBootloaderConfigManager::currentConfig() const {
  std::lock_guard lock(mutex_);
  return currentConfig_;
}

QLBootloaderConfigType QLBootloaderConfigManager::recognise(plist_t dictionary) {
  static constexpr const char* kCloverKeys[] = {"Boot",     "ACPI", "KernelAndKextsPatches", "SMBIOS", "Devices",
                                                "Graphics", "GUI"};
  static constexpr const char* kChameleonKeys[] = {"Kernel Flags", "UseKernelCache", "Timeout"};
  if (!platform::isDictionary(dictionary)) return QLBootloaderConfigType::unsupported;
  // OpenCore's files have sections of Clover's names too ("ACPI", "Kernel"); only OpenCore has
  // the whole set of its own, so it is asked first.
  if (QLOpenCoreConfig::hasSections(dictionary)) return QLBootloaderConfigType::opencore;
  // Clover's sections are dictionaries. Chameleon files carry strings, some under the same
  // names (an "SMBIOS" path to smbios.plist), so a section name alone does not make a file
  // Clover while it has Chameleon keys.
  for (const char* key : kCloverKeys)
    if (platform::isDictionary(plist_dict_get_item(dictionary, key))) return QLBootloaderConfigType::clover;
  for (const char* key : kChameleonKeys)
    if (plist_dict_get_item(dictionary, key)) return QLBootloaderConfigType::chameleon;
  for (const char* key : kCloverKeys)
    if (plist_dict_get_item(dictionary, key)) return QLBootloaderConfigType::clover;
  return QLBootloaderConfigType::unsupported;
}

bool QLBootloaderConfigManager::loadConfig(const std::string& path) {
  const auto dictionary = QLBootloaderConfig::loadDictionary(path);
  std::shared_ptr<QLBootloaderConfig> config;
  switch (recognise(dictionary.get())) {
    case QLBootloaderConfigType::clover: config = QLCloverConfig::create(path); break;
    case QLBootloaderConfigType::chameleon: config = QLChameleonConfig::create(path); break;
    case QLBootloaderConfigType::opencore: config = QLOpenCoreConfig::create(path); break;
    case QLBootloaderConfigType::unsupported: break;
  }
  if (!config) {
    platform::diagnostic("QLBootloaderConfigManager::loadConfig()", "Error: unsupported configuration " + path + ".");
    return false;
  }
  std::lock_guard lock(mutex_);
  currentConfig_ = std::move(config);
  return true;
}

bool QLBootloaderConfigManager::applySIPConfig(const QLRootlessConfig& newSIPConfig, int* error,
                                               QLJournalRun* journal) {
  return apply(&QLBootloaderConfig::applySIPConfig, newSIPConfig, error, journal);
}

bool QLBootloaderConfigManager::applyBooterConfig(const QLRootlessConfig& newBooterConfig, int* error,
                                                  QLJournalRun* journal) {
  return apply(&QLBootloaderConfig::applyBooterConfig, newBooterConfig, error, journal);
}

bool QLBootloaderConfigManager::apply(bool (QLBootloaderConfig::*write)(const QLRootlessConfig&),
                                      const QLRootlessConfig& value, int* error, QLJournalRun* journal) {
  int failure = 0;
  if (const auto config = currentConfig(); !config) {
    failure = ENOENT;
  } else {
    std::lock_guard lock(applying_);
    std::unique_ptr<QLJournalRun> own;
    if (!journal && openJournal_) {
      own = openJournal_("save-config", config->path());
      journal = own.get();
    }
    const std::uint64_t recorded = journal ? journal->changes() : 0;
    if (!((*config).*write)(value))
      failure = EINVAL;
    else if (!config->save(journal))
      failure = config->saveError() ? config->saveError() : EIO;
    if (failure && journal) journal->noteFailedSince(recorded);
  }
  if (error) *error = failure;
  return failure == 0;
}

}  // namespace tarnix
