#include "platform/PropertyList.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarnix::platform {

Plist parsePropertyList(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return {};
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
  return Plist(node);
}

Plist parseDictionary(std::string_view bytes) {
  Plist node = parsePropertyList(bytes);
  if (!node || !isDictionary(node.get())) return {};
  return node;
}

bool isDictionary(plist_t node) { return node && plist_get_node_type(node) == PLIST_DICT; }

std::optional<std::string> dictString(plist_t dict, const char* key) {
  if (!isDictionary(dict)) return std::nullopt;
  plist_t value = plist_dict_get_item(dict, key);
  if (!value || plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
  // plist_get_string_val asserts (ending the process) on a string holding a NUL byte.
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(value, &length);
  // Such a string reports a length beyond its text: treat it as malformed.
  if (!text || std::strlen(text) != length) return std::nullopt;
  return std::string(text, static_cast<std::size_t>(length));
}

std::optional<std::vector<std::string>> dictStringArray(plist_t dict, const char* key) {
  if (!isDictionary(dict)) return std::nullopt;
  plist_t value = plist_dict_get_item(dict, key);
  if (!value || plist_get_node_type(value) != PLIST_ARRAY) return std::nullopt;
  std::vector<std::string> result;
  const auto items = arrayItems(value);
  result.reserve(items.size());
  for (plist_t item : items) {
    if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(item, &length);
    if (!text || std::strlen(text) != length) return std::nullopt;
    result.emplace_back(text, static_cast<std::size_t>(length));
  }
  return result;
}

std::vector<plist_t> arrayItems(plist_t array) {
  std::vector<plist_t> items;
  if (!array || plist_get_node_type(array) != PLIST_ARRAY) return items;
  items.reserve(plist_array_get_size(array));
  plist_array_iter iterator = nullptr;
  plist_array_new_iter(array, &iterator);
  if (!iterator) return items;
  for (plist_t item = nullptr;;) {
    plist_array_next_item(array, iterator, &item);
    if (!item) break;
    items.push_back(item);
  }
  std::free(iterator);
  return items;
}

std::optional<std::int64_t> dictInteger(plist_t dict, const char* key) {
  if (!isDictionary(dict)) return std::nullopt;
  plist_t value = plist_dict_get_item(dict, key);
  if (!value || plist_get_node_type(value) != PLIST_UINT) return std::nullopt;
  std::uint64_t number = 0;
  plist_get_uint_val(value, &number);
  return static_cast<std::int64_t>(number);
}

namespace {
template <typename Writer, typename Freer>
std::string serialise(plist_t node, Writer write, Freer release) {
  if (!node) return {};
  char* data = nullptr;
  std::uint32_t length = 0;
  write(node, &data, &length);
  std::string result = data ? std::string(data, length) : std::string();
  if (data) release(data);
  return result;
}
}  // namespace

std::string toBinary(plist_t node) { return serialise(node, plist_to_bin, plist_to_bin_free); }
std::string toXml(plist_t node) { return serialise(node, plist_to_xml, plist_to_xml_free); }

}  // namespace tarnix::platform
