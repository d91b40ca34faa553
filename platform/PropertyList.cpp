#include "platform/PropertyList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarnix::platform {

namespace {

// A binary property list: "bplist00", the objects, a table of their offsets, then a trailer of
// 32 bytes (offset width, reference width, object count, root object, offset of the table).
constexpr std::uint64_t kHeaderSize = 8;
constexpr std::uint64_t kTrailerSize = 32;

// What libplist's UTF-16 conversion makes of `units` big-endian units, or more: half of a
// surrogate pair is counted as two bytes of the four the pair becomes.
std::uint64_t utf8Length(const unsigned char* at, std::uint64_t units) {
  std::uint64_t length = 0;
  for (std::uint64_t i = 0; i < units; ++i, at += 2) {
    const unsigned unit = static_cast<unsigned>(at[0]) << 8 | at[1];
    length += unit < 0x80 ? 1 : unit < 0x800 || (unit >= 0xd800 && unit <= 0xdfff) ? 2 : 3;
  }
  return length;
}

// Walks the objects as libplist will, without recursion, once per object: an object shared by
// many containers is summed from what it grew to the first time.
class BoundsWalk {
 public:
  BoundsWalk(std::string_view bytes, const PlistBounds& bounds)
      : bytes_(bytes), data_(reinterpret_cast<const unsigned char*>(bytes.data())), bounds_(bounds) {}

  std::optional<std::string> run() {
    std::string why;
    const auto layout = binaryPlistLayout(bytes_, &why);
    if (!layout) return why;
    layout_ = *layout;
    refWidth_ = layout->refWidth;
    count_ = layout->count;
    table_ = layout->table;
    const std::uint64_t root = layout->root;
    // Every object of an honest writer appears in the tree at least once.
    if (count_ > bounds_.nodes) return tooManyNodes();
    grown_.resize(count_);

    if (auto refusal = visit(root)) return refusal;
    while (!open_.empty()) {
      Open& top = open_.back();
      if (top.next == top.refs) {
        const Grown finished{static_cast<std::uint32_t>(top.nodes), static_cast<std::uint32_t>(top.bytes),
                             static_cast<std::uint16_t>(top.height + 1), Grown::done};
        grown_[top.object] = finished;
        open_.pop_back();
        if (auto refusal = addToTop(finished)) return refusal;
        continue;
      }
      const std::uint64_t child = bigEndian(data_ + top.refsAt + top.next++ * refWidth_, refWidth_);
      if (child >= count_) return "an object reference out of range";
      if (grown_[child].state == Grown::open) return "a reference cycle";
      if (grown_[child].state == Grown::unseen) {
        if (auto refusal = visit(child)) return refusal;
        if (grown_[child].state == Grown::open) continue;  // its own references come first
      }
      if (auto refusal = addToTop(grown_[child])) return refusal;
    }
    return std::nullopt;
  }

 private:
  // What an object grows to; 12 bytes each, for at most bounds.nodes objects.
  struct Grown {
    std::uint32_t nodes = 0;
    std::uint32_t bytes = 0;
    std::uint16_t height = 0;  // containers on its deepest path, itself included
    enum State : std::uint8_t { unseen, open, done } state = unseen;
  };
  // A container whose references are being read.
  struct Open {
    std::uint64_t object, refsAt, refs, next = 0;
    std::uint64_t nodes = 1, bytes = 0, height = 0;
  };

  std::string tooManyNodes() const { return "more than " + std::to_string(bounds_.nodes) + " values once expanded"; }
  std::string tooManyBytes() const { return "more than " + std::to_string(bounds_.bytes) + " bytes once expanded"; }
  std::string tooDeep() const { return "containers nested deeper than " + std::to_string(bounds_.depth); }

  // Reads the object at `index`: a leaf is done at once, a container is opened.
  std::optional<std::string> visit(std::uint64_t index) {
    std::string why;
    const auto object = binaryPlistObject(bytes_, layout_, index, &why);
    if (!object) return why;
    const unsigned type = object->type;
    const std::uint64_t length = object->length, at = object->at;
    const std::uint64_t room = table_ - at;
    switch (type) {
      case 0x0:
      case 0x1:
      case 0x2:
      case 0x3:
      case 0x8:  // null, booleans, numbers, dates, uids
        grown_[index] = {1, 0, 0, Grown::done};
        return std::nullopt;
      case 0x4:
      case 0x5:
      case 0x6: {  // data, ASCII text, UTF-16 text
        const std::uint64_t unit = type == 0x6 ? 2 : 1;
        if (length > room / unit) return "text or data beyond the objects";
        const std::uint64_t held = type == 0x6 ? utf8Length(data_ + at, length) : length;
        if (held > bounds_.bytes) return tooManyBytes();
        grown_[index] = {1, static_cast<std::uint32_t>(held), 0, Grown::done};
        return std::nullopt;
      }
      case 0xa:
      case 0xc:
      case 0xd: {  // array, set, dictionary (keys, then values)
        const std::uint64_t perEntry = type == 0xd ? 2 : 1;
        if (length > room / refWidth_ / perEntry) return "references beyond the objects";
        const std::uint64_t refs = length * perEntry;
        // Each reference read is at least one node of the tree, beside its root.
        read_ += refs;
        if (read_ >= bounds_.nodes) return tooManyNodes();
        if (open_.size() >= bounds_.depth) return tooDeep();
        grown_[index].state = Grown::open;
        open_.push_back({index, at, refs});
        return std::nullopt;
      }
      default: return "an object of unknown type";
    }
  }

  // Adds a finished object to the container reading it, at the level that container is on.
  std::optional<std::string> addToTop(const Grown& child) {
    if (open_.empty()) return std::nullopt;
    Open& parent = open_.back();
    parent.nodes += child.nodes;
    parent.bytes += child.bytes;
    if (parent.nodes > bounds_.nodes) return tooManyNodes();
    if (parent.bytes > bounds_.bytes) return tooManyBytes();
    if (open_.size() + child.height > bounds_.depth) return tooDeep();
    parent.height = std::max<std::uint64_t>(parent.height, child.height);
    return std::nullopt;
  }

  std::string_view bytes_;
  const unsigned char* data_;
  PlistBounds bounds_;
  BinaryPlistLayout layout_;
  unsigned refWidth_ = 0;
  std::uint64_t count_ = 0, table_ = 0, read_ = 0;
  std::vector<Grown> grown_;
  std::vector<Open> open_;
};

// Walks the markup of an XML property list the way libplist's parser reads it, without
// building anything: the same ends for comments, CDATA, processing instructions and the
// DOCTYPE, the same double quotes in tags. libplist recurses once per element, so what it
// would nest must never look shallower here: closing tags must match, and markup libplist
// would not read is refused rather than guessed at.
class XmlBoundsWalk {
 public:
  XmlBoundsWalk(std::string_view text, const PlistBounds& bounds) : text_(text), bounds_(bounds) {}

  std::optional<std::string> run() {
    if (text_.size() > bounds_.bytes) return "more than " + std::to_string(bounds_.bytes) + " bytes";
    std::vector<std::string_view> open;
    std::uint64_t elements = 0;
    for (std::size_t at = text_.find('<'); at != npos; at = text_.find('<', at)) {
      ++at;
      if (at >= text_.size()) return "an unfinished tag";
      std::size_t end = npos;
      if (text_[at] == '?') {
        if ((end = findQuoted("?>", at)) == npos) return "an unfinished processing instruction";
        at = end + 2;
      } else if (startsWith(at, "!--")) {
        if ((end = text_.find("-->", at + 3)) == npos) return "an unfinished comment";
        at = end + 3;
      } else if (startsWith(at, "![CDATA[")) {
        if ((end = text_.find("]]>", at + 8)) == npos) return "an unfinished CDATA section";
        at = end + 3;
      } else if (startsWith(at, "!DOCTYPE")) {
        if ((at = skipDoctype(at + 8)) == npos) return "an unfinished DOCTYPE";
      } else if (text_[at] == '!') {
        return "markup of an unknown kind";
      } else if (text_[at] == '/') {
        const std::size_t name = at + 1;
        end = nameEnd(name);
        if (open.empty() || text_.substr(name, end - name) != open.back()) return "a closing tag that matches none";
        while (end < text_.size() && isSpace(text_[end])) ++end;
        if (end >= text_.size() || text_[end] != '>') return "a malformed closing tag";
        open.pop_back();
        at = end + 1;
      } else {
        end = nameEnd(at);
        const std::string_view name = text_.substr(at, end - at);
        if (name.empty()) return "a tag without a name";
        if (end < text_.size() && text_[end] != '>') end = findAnyQuoted("<>", end);
        if (end >= text_.size() || text_[end] != '>') return "a tag without its end";
        if (++elements > bounds_.nodes) return "more than " + std::to_string(bounds_.nodes) + " elements";
        if (text_[end - 1] != '/') {
          if (open.size() >= bounds_.depth) return "elements nested deeper than " + std::to_string(bounds_.depth);
          open.push_back(name);
        }
        at = end + 1;
      }
    }
    return std::nullopt;
  }

 private:
  static constexpr std::size_t npos = std::string_view::npos;
  static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  bool startsWith(std::size_t at, std::string_view prefix) const { return text_.substr(at, prefix.size()) == prefix; }
  // A tag's name ends at white space or at either angle bracket.
  std::size_t nameEnd(std::size_t at) const {
    while (at < text_.size() && !isSpace(text_[at]) && text_[at] != '<' && text_[at] != '>') ++at;
    return at;
  }
  // The first of `chars` outside double quotes; npos at the end or in an unmatched quote.
  std::size_t findAnyQuoted(std::string_view chars, std::size_t at) const {
    for (; at < text_.size(); ++at) {
      if (text_[at] == '"' && (at = text_.find('"', at + 1)) == npos) return npos;
      if (chars.find(text_[at]) != npos) return at;
    }
    return npos;
  }
  // Where `marker` begins outside double quotes.
  std::size_t findQuoted(std::string_view marker, std::size_t at) const {
    for (; at < text_.size(); ++at) {
      if (startsWith(at, marker)) return at;
      if (text_[at] == '"' && (at = text_.find('"', at + 1)) == npos) return npos;
    }
    return npos;
  }
  // Past the DOCTYPE's end: its first '>', or the "]>" of an internal subset.
  std::size_t skipDoctype(std::size_t at) const {
    for (;;) {
      if ((at = findAnyQuoted(" \t\r\n[>", at)) == npos) return npos;
      if (text_[at] == '>') return at + 1;
      if (text_[at] == '[') {
        at = findQuoted("]>", at);
        return at == npos ? npos : at + 2;
      }
      while (at < text_.size() && isSpace(text_[at])) ++at;
    }
  }

  std::string_view text_;
  PlistBounds bounds_;
};

// What libplist's `parse` builds once the check has nothing against the bytes (`why` empty);
// otherwise nothing, with `refusal` (when given) saying why.
template <typename Parse>
Plist parseChecked(std::string_view bytes, std::optional<std::string> why, const char* invalid, std::string* refusal,
                   Parse parse) {
  if (!why && bytes.size() > std::numeric_limits<std::uint32_t>::max()) why = "too long";
  plist_t node = nullptr;
  if (!why) parse(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
  if (!why && !node) why = invalid;
  if (why && refusal) *refusal = std::move(*why);
  return Plist(node);
}

}  // namespace

std::optional<std::string> xmlPlistRefusal(std::string_view bytes, const PlistBounds& bounds) {
  return XmlBoundsWalk(bytes, bounds).run();
}

Plist parseXmlPropertyList(std::string_view bytes, const PlistBounds& bounds, std::string* refusal) {
  return parseChecked(bytes, xmlPlistRefusal(bytes, bounds), "not a valid XML property list", refusal, plist_from_xml);
}

std::optional<BinaryPlistLayout> binaryPlistLayout(std::string_view bytes, std::string* refusal) {
  const auto refuse = [&](const char* why) -> std::optional<BinaryPlistLayout> {
    if (refusal) *refusal = why;
    return std::nullopt;
  };
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kHeaderSize + kTrailerSize || bytes.substr(0, kHeaderSize) != "bplist00")
    return refuse("not a binary property list");
  const unsigned char* trailer = data + bytes.size() - kTrailerSize;
  BinaryPlistLayout layout{trailer[6], trailer[7], bigEndian(trailer + 8, 8), bigEndian(trailer + 16, 8),
                           bigEndian(trailer + 24, 8)};
  const std::uint64_t tableEnd = bytes.size() - kTrailerSize;
  if (layout.offsetWidth < 1 || layout.offsetWidth > 8 || layout.refWidth < 1 || layout.refWidth > 8)
    return refuse("a trailer with invalid widths");
  if (layout.table < kHeaderSize || layout.table >= tableEnd ||
      layout.count > (tableEnd - layout.table) / layout.offsetWidth)
    return refuse("an offset table outside the data");
  if (layout.count == 0 || layout.root >= layout.count) return refuse("a root object out of range");
  return layout;
}

std::optional<BinaryPlistObject> binaryPlistObject(std::string_view bytes, const BinaryPlistLayout& layout,
                                                   std::uint64_t index, std::string* refusal) {
  const auto refuse = [&](const char* why) -> std::optional<BinaryPlistObject> {
    if (refusal) *refusal = why;
    return std::nullopt;
  };
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::uint64_t table = layout.table;
  if (index >= layout.count) return refuse("an object reference out of range");
  BinaryPlistObject object{0, 0, bigEndian(data + table + index * layout.offsetWidth, layout.offsetWidth)};
  if (object.at < kHeaderSize || object.at >= table) return refuse("an object offset out of range");
  object.type = data[object.at] >> 4;
  object.length = data[object.at] & 0x0fu;
  ++object.at;
  const unsigned type = object.type;
  const bool sized = type == 0x4 || type == 0x5 || type == 0x6 || type == 0xa || type == 0xc || type == 0xd;
  if (sized && object.length == 0x0f) {
    // The length follows as an integer object of 1, 2, 4 or 8 bytes.
    const std::uint64_t at = object.at;
    if (at >= table || data[at] >> 4 != 0x1 || (data[at] & 0x0fu) > 3) return refuse("a malformed length");
    const unsigned width = 1u << (data[at] & 0x0fu);
    if (table - at - 1 < width) return refuse("a length beyond the objects");
    object.length = bigEndian(data + at + 1, width);
    object.at += 1 + width;
  }
  return object;
}

std::uint64_t bigEndian(const unsigned char* at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value = value << 8 | at[i];
  return value;
}

std::optional<std::string> binaryPlistRefusal(std::string_view bytes, const PlistBounds& bounds) {
  return BoundsWalk(bytes, bounds).run();
}

Plist parseBinaryPropertyList(std::string_view bytes, const PlistBounds& bounds, std::string* refusal) {
  return parseChecked(bytes, binaryPlistRefusal(bytes, bounds), "not a valid binary property list", refusal,
                      plist_from_bin);
}

Plist parsePropertyList(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return {};
  if (plist_is_binary(bytes.data(), static_cast<std::uint32_t>(bytes.size())))
    return parseBinaryPropertyList(bytes, kFileBounds);
  return parseXmlPropertyList(bytes, kFileBounds);
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
