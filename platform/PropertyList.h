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

// How far a property list may grow once libplist builds it. A binary one's objects may be
// shared, so a small file can describe a tree far larger than itself (every level referring
// twice to the level below doubles it); both parsers also recurse once per level.
struct PlistBounds {
  std::uint32_t nodes = 0;  // values, keys and containers, counted at every place they appear
  std::uint16_t depth = 0;  // containers within containers; the outermost is level 1
  std::uint32_t bytes = 0;  // text and data, counted at every place they appear
};
// What a configuration, receipt or bundle file may grow to: far more than any real one.
inline constexpr PlistBounds kFileBounds{1u << 20, 64, 64u << 20};

// Where a binary property list keeps its objects, from its header and its 32-byte trailer.
struct BinaryPlistLayout {
  unsigned offsetWidth = 0, refWidth = 0;  // bytes of an offset in the table, of a reference
  std::uint64_t count = 0, root = 0;       // objects; the index of the top one
  std::uint64_t table = 0;                 // where the offset table begins
};
// Nothing when the widths are not 1 to 8 bytes, the table does not lie between the header and
// the trailer, or the root is not one of the objects; `refusal`, when given, then says why.
std::optional<BinaryPlistLayout> binaryPlistLayout(std::string_view bytes, std::string* refusal = nullptr);
// The object at `index` (below layout.count): the high nibble of its marker, its length (entries,
// characters or bytes for data, text and containers; the marker's low nibble otherwise) and where
// its content begins. Nothing when its offset or its length lies outside the objects; `refusal`,
// when given, then says why. The content itself is not checked.
struct BinaryPlistObject {
  unsigned type = 0;
  std::uint64_t length = 0;
  std::uint64_t at = 0;
};
std::optional<BinaryPlistObject> binaryPlistObject(std::string_view bytes, const BinaryPlistLayout& layout,
                                                   std::uint64_t index, std::string* refusal = nullptr);
// A big-endian unsigned number of `width` (at most 8) bytes, as the format stores them.
std::uint64_t bigEndian(const unsigned char* at, unsigned width);

// Walks the header, trailer, offset table and object references of a binary property list
// without building anything. Nothing when libplist may build it within `bounds`; otherwise
// why not, in a few words. Time and memory grow with the input and the bounds, not the tree.
std::optional<std::string> binaryPlistRefusal(std::string_view bytes, const PlistBounds& bounds);
// A binary property list within `bounds`; null otherwise, with `refusal` (when given) set.
Plist parseBinaryPropertyList(std::string_view bytes, const PlistBounds& bounds, std::string* refusal = nullptr);
// The same for an XML property list, whose elements cannot be shared but can nest as deep as
// its length allows: `nodes` bounds the elements, `depth` their nesting (the <plist> element
// and text elements count as levels too), `bytes` the length. Comments, CDATA, processing
// instructions and the DOCTYPE are skipped as libplist skips them.
std::optional<std::string> xmlPlistRefusal(std::string_view bytes, const PlistBounds& bounds);
Plist parseXmlPropertyList(std::string_view bytes, const PlistBounds& bounds, std::string* refusal = nullptr);
// XML or binary (within kFileBounds); null when the bytes are neither, or too long for the library.
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
