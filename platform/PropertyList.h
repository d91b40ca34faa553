#pragma once
// Property lists (XML and binary) through libplist, with ownership made explicit.
#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::platform {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

// XML or binary; null when the bytes are neither, or too long for the library.
Plist parsePropertyList(std::string_view bytes);
// Only a dictionary at the top; null otherwise.
Plist parseDictionary(std::string_view bytes);

bool isDictionary(plist_t node);
// Borrowed look-ups; nothing when the key is absent or holds another type.
std::optional<std::string> dictString(plist_t dict, const char* key);
std::optional<std::vector<std::string>> dictStringArray(plist_t dict, const char* key);
// The items of an array in order, borrowed from it. One pass: in an array that libplist parsed,
// finding an item by index walks the list, so indexing in a loop is quadratic.
std::vector<plist_t> arrayItems(plist_t array);
std::optional<std::int64_t> dictInteger(plist_t dict, const char* key);

std::string toBinary(plist_t node);
std::string toXml(plist_t node);

}  // namespace tarnix::platform
