#include "bootconfig/QLOpenCoreConfig.h"

#include <strings.h>

#include <cstdlib>
#include <string>

namespace tarnix {
namespace {

plist_type typeOf(plist_t node) { return node ? plist_get_node_type(node) : PLIST_NONE; }

// The key of `dictionary` that names the GUID in any case, or nothing.
std::optional<std::string> guidKey(plist_t dictionary, const char* guid) {
  if (plist_dict_get_item(dictionary, guid)) return std::string(guid);
  std::optional<std::string> found;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary, &iterator);
  if (!iterator) return found;
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dictionary, iterator, &key, &value);
    if (!key) break;
    if (!found && ::strcasecmp(key, guid) == 0) found = key;
    std::free(key);
  }
  std::free(iterator);
  return found;
}

// The dictionary or array under `key` of `parent`, made when missing.
plist_t childOf(plist_t parent, const std::string& key, plist_type type) {
  plist_t child = plist_dict_get_item(parent, key.c_str());
  if (!child) {
    child = type == PLIST_DICT ? plist_new_dict() : plist_new_array();
    plist_dict_set_item(parent, key.c_str(), child);
  }
  return child;
}

// Whether `key` of `parent` is missing or holds the type.
bool missingOr(plist_t parent, const std::string& key, plist_type type) {
  plist_t child = plist_dict_get_item(parent, key.c_str());
  return !child || typeOf(child) == type;
}

}  // namespace

bool QLOpenCoreConfig::hasSections(plist_t dictionary) {
  if (typeOf(dictionary) != PLIST_DICT) return false;
  plist_t nvram = plist_dict_get_item(dictionary, kNVRAM);
  if (typeOf(nvram) != PLIST_DICT || typeOf(plist_dict_get_item(nvram, kAdd)) != PLIST_DICT) return false;
  for (const char* section : {"Misc", "UEFI", "Kernel", "PlatformInfo"})
    if (typeOf(plist_dict_get_item(dictionary, section)) != PLIST_DICT) return false;
  return true;
}

std::unique_ptr<QLOpenCoreConfig> QLOpenCoreConfig::create(const std::string& path) {
  auto data = loadDictionary(path);
  if (!data) return nullptr;
  return std::unique_ptr<QLOpenCoreConfig>(new QLOpenCoreConfig(path, std::move(data)));
}

bool QLOpenCoreConfig::applySIPConfig(const QLRootlessConfig& newSIPConfig) {
  return applyVariable(kCsrActiveConfig, 4, newSIPConfig);
}

bool QLOpenCoreConfig::applyBooterConfig(const QLRootlessConfig& newBooterConfig) {
  return applyVariable(kBooterConfig, 2, newBooterConfig);
}

bool QLOpenCoreConfig::applyVariable(const char* name, std::size_t width, const QLRootlessConfig& value) {
  const auto& number = value.decimalValue();
  if (!number || *number < 0 || static_cast<std::uint64_t>(*number) >> (8 * width) != 0) return false;

  // Something of another type in the way leaves the file as it is rather than guessing; the
  // check comes before anything is made, so a refused file is not half changed.
  plist_t nvram = plist_dict_get_item(data(), kNVRAM);
  if (typeOf(nvram) != PLIST_DICT || !missingOr(nvram, kAdd, PLIST_DICT) || !missingOr(nvram, kDelete, PLIST_DICT))
    return false;
  plist_t add = plist_dict_get_item(nvram, kAdd);
  plist_t remove = plist_dict_get_item(nvram, kDelete);
  const std::string addKey =
      (add ? guidKey(add, kAppleBootVariablesGuid) : std::nullopt).value_or(kAppleBootVariablesGuid);
  const std::string deleteKey =
      (remove ? guidKey(remove, kAppleBootVariablesGuid) : std::nullopt).value_or(kAppleBootVariablesGuid);
  if ((add && !missingOr(add, addKey, PLIST_DICT)) || (remove && !missingOr(remove, deleteKey, PLIST_ARRAY)))
    return false;
  plist_t added = childOf(childOf(nvram, kAdd, PLIST_DICT), addKey, PLIST_DICT);
  plist_t deleted = childOf(childOf(nvram, kDelete, PLIST_DICT), deleteKey, PLIST_ARRAY);

  char bytes[4] = {};
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<char>(static_cast<std::uint64_t>(*number) >> (8 * i));
  plist_dict_set_item(added, name, plist_new_data(bytes, width));

  for (plist_t item : platform::arrayItems(deleted)) {
    std::uint64_t length = 0;
    const char* listed = typeOf(item) == PLIST_STRING ? plist_get_string_ptr(item, &length) : nullptr;
    if (listed && std::string_view(listed, static_cast<std::size_t>(length)) == name) return true;
  }
  plist_array_append_item(deleted, plist_new_string(name));
  return true;
}

QLBootloaderWord QLOpenCoreConfig::readVariable(plist_t dictionary, const char* name, std::size_t width) {
  plist_t add = plist_dict_get_item(plist_dict_get_item(dictionary, kNVRAM), kAdd);
  if (typeOf(add) != PLIST_DICT) return {};
  const auto guid = guidKey(add, kAppleBootVariablesGuid);
  if (!guid) return {};
  return wordFromNode(plist_dict_get_item(plist_dict_get_item(add, guid->c_str()), name), width);
}

QLBootloaderWord QLOpenCoreConfig::readSIPWord(plist_t dictionary) const {
  return readVariable(dictionary, kCsrActiveConfig, 4);
}

QLBootloaderWord QLOpenCoreConfig::readBooterWord(plist_t dictionary) const {
  return readVariable(dictionary, kBooterConfig, 2);
}

}  // namespace tarnix
