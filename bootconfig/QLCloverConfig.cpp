#include "bootconfig/QLCloverConfig.h"

namespace tarnix {

std::unique_ptr<QLCloverConfig> QLCloverConfig::create(const std::string& path) {
  auto data = loadDictionary(path);
  if (!data) return nullptr;
  return std::unique_ptr<QLCloverConfig>(new QLCloverConfig(path, std::move(data)));
}

bool QLCloverConfig::applySIPConfig(const QLRootlessConfig& newSIPConfig) {
  return applyToRtVariables(kCsrActiveConfig, newSIPConfig);
}

bool QLCloverConfig::applyBooterConfig(const QLRootlessConfig& newBooterConfig) {
  return applyToRtVariables(kBooterConfig, newBooterConfig);
}

bool QLCloverConfig::applyToRtVariables(const char* key, const QLRootlessConfig& value) {
  const auto hex = value.hexValue();
  if (!hex) return false;
  plist_t variables = plist_dict_get_item(data(), kRtVariables);
  if (!platform::isDictionary(variables)) {
    // Replacing the item frees whatever non-dictionary stood there.
    variables = plist_new_dict();
    plist_dict_set_item(data(), kRtVariables, variables);
  }
  plist_dict_set_item(variables, key, plist_new_string(hex->c_str()));
  return true;
}

QLBootloaderWord QLCloverConfig::readSIPWord(plist_t dictionary) const {
  return wordFromNode(plist_dict_get_item(plist_dict_get_item(dictionary, kRtVariables), kCsrActiveConfig), 4);
}

QLBootloaderWord QLCloverConfig::readBooterWord(plist_t dictionary) const {
  return wordFromNode(plist_dict_get_item(plist_dict_get_item(dictionary, kRtVariables), kBooterConfig), 2);
}

}  // namespace tarnix
