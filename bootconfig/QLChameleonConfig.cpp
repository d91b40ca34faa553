#include "bootconfig/QLChameleonConfig.h"

namespace tarnix {

std::unique_ptr<QLChameleonConfig> QLChameleonConfig::create(const std::string& path) {
  auto data = loadDictionary(path);
  if (!data) return nullptr;
  return std::unique_ptr<QLChameleonConfig>(new QLChameleonConfig(path, std::move(data)));
}

bool QLChameleonConfig::applySIPConfig(const QLRootlessConfig& newSIPConfig) {
  const auto& value = newSIPConfig.decimalValue();
  if (!value || *value < 0) return false;
  plist_dict_set_item(data(), kCsrActiveConfig, plist_new_uint(static_cast<std::uint64_t>(*value)));
  return true;
}

bool QLChameleonConfig::applyBooterConfig(const QLRootlessConfig&) { return false; }

QLBootloaderWord QLChameleonConfig::readSIPWord(plist_t dictionary) const {
  return wordFromNode(plist_dict_get_item(dictionary, kCsrActiveConfig), 4);
}

QLBootloaderWord QLChameleonConfig::readBooterWord(plist_t) const { return {QLBootloaderWord::State::notSupported}; }

}  // namespace tarnix
