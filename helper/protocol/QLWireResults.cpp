#include "helper/protocol/QLWireResults.h"

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "helper/protocol/QLArchiveCodec.h"

namespace tarnix::wire {
namespace {

// Object markers of the binary format.
constexpr unsigned char kInteger = 0x10, kAscii = 0x50, kUtf16 = 0x60, kArray = 0xA0, kDict = 0xD0;

class Writer {
 public:
  Writer() { bytes_ = "bplist00"; }

  // Each returns the object's index.
  std::uint32_t integer(std::int64_t value) {
    const std::uint32_t index = begin();
    const auto raw = static_cast<std::uint64_t>(value);
    // Negative numbers take all 8 bytes (two's complement); the shorter forms are unsigned.
    const int width = value < 0 ? 8 : raw <= 0xFF ? 1 : raw <= 0xFFFF ? 2 : raw <= 0xFFFFFFFF ? 4 : 8;
    const int exponent = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
    bytes_.push_back(static_cast<char>(kInteger | exponent));
    putBigEndian(raw, width);
    return index;
  }

  std::uint32_t string(std::string_view text) {
    const std::uint32_t index = begin();
    if (!utf16(text)) {
      // ASCII, or bytes that are not UTF-8 at all: as they are, which libplist reads back
      // byte for byte.
      marker(kAscii, text.size());
      bytes_.append(text);
    }
    return index;
  }

  // A string written once however often it is used: keys, the class name, the few texts.
  std::uint32_t shared(std::string_view text) {
    const auto found = shared_.find(text);
    if (found != shared_.end()) return found->second;
    const std::uint32_t index = string(text);
    shared_.emplace(text, index);
    return index;
  }

  // Containers refer to objects already written: their reference width must be known, so
  // they are written last, once the caller has said how many objects there are in all.
  void setObjectCount(std::size_t count) { refWidth_ = count <= 0xFF ? 1 : count <= 0xFFFF ? 2 : 4; }
  std::uint32_t array(std::span<const std::uint32_t> items) {
    const std::uint32_t index = begin();
    marker(kArray, items.size());
    for (const std::uint32_t item : items) putBigEndian(item, refWidth_);
    return index;
  }
  std::uint32_t dict(std::span<const std::uint32_t> keys, std::span<const std::uint32_t> values) {
    const std::uint32_t index = begin();
    marker(kDict, keys.size());
    for (const std::uint32_t key : keys) putBigEndian(key, refWidth_);
    for (const std::uint32_t value : values) putBigEndian(value, refWidth_);
    return index;
  }

  // The offset table and trailer; `top` is the root object.
  std::string finish(std::uint32_t top) {
    const std::uint64_t tableOffset = bytes_.size();
    const int offsetWidth = tableOffset <= 0xFF ? 1 : tableOffset <= 0xFFFF ? 2 : tableOffset <= 0xFFFFFFFF ? 4 : 8;
    bytes_.reserve(bytes_.size() + offsets_.size() * static_cast<std::size_t>(offsetWidth) + 32);
    for (const std::uint64_t offset : offsets_) putBigEndian(offset, offsetWidth);
    bytes_.append(6, '\0');
    bytes_.push_back(static_cast<char>(offsetWidth));
    bytes_.push_back(static_cast<char>(refWidth_));
    putBigEndian(offsets_.size(), 8);
    putBigEndian(top, 8);
    putBigEndian(tableOffset, 8);
    return std::move(bytes_);
  }

  std::size_t written() const { return offsets_.size(); }
  void reserve(std::size_t bytes, std::size_t objects) {
    bytes_.reserve(bytes);
    offsets_.reserve(objects);
  }

 private:
  std::uint32_t begin() {
    offsets_.push_back(bytes_.size());
    return static_cast<std::uint32_t>(offsets_.size() - 1);
  }
  void putBigEndian(std::uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) bytes_.push_back(static_cast<char>(value >> shift));
  }
  // A marker with its count: in the low nibble below 15, otherwise in an integer after it.
  void marker(unsigned char type, std::size_t count) {
    if (count < 15) {
      bytes_.push_back(static_cast<char>(type | count));
      return;
    }
    bytes_.push_back(static_cast<char>(type | 0x0F));
    const int width = count <= 0xFF ? 1 : count <= 0xFFFF ? 2 : count <= 0xFFFFFFFF ? 4 : 8;
    bytes_.push_back(static_cast<char>(kInteger | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3)));
    putBigEndian(count, width);
  }
  // Text with characters beyond ASCII goes as UTF-16, as the format wants; false when the
  // text is ASCII or not valid UTF-8 (nothing written then).
  bool utf16(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    if (i == text.size()) return false;
    units_.clear();
    for (i = 0; i < text.size();) {
      const auto lead = static_cast<unsigned char>(text[i]);
      std::uint32_t code = lead;
      std::size_t length = 1;
      if (lead >= 0x80) {
        length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
        if (length == 0 || lead >= 0xF5 || i + length > text.size()) return false;
        code = lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
          const auto next = static_cast<unsigned char>(text[i + k]);
          if ((next & 0xC0) != 0x80) return false;
          code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
        static constexpr std::array<std::uint32_t, 5> kLeast{0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
      }
      if (code >= 0x10000) {
        code -= 0x10000;
        units_.push_back(static_cast<std::uint16_t>(0xD800 | (code >> 10)));
        units_.push_back(static_cast<std::uint16_t>(0xDC00 | (code & 0x3FF)));
      } else {
        units_.push_back(static_cast<std::uint16_t>(code));
      }
      i += length;
    }
    marker(kUtf16, units_.size());
    for (const std::uint16_t unit : units_) putBigEndian(unit, 2);
    return true;
  }

  std::string bytes_;
  std::vector<std::uint64_t> offsets_;
  std::unordered_map<std::string_view, std::uint32_t> shared_;
  std::vector<std::uint16_t> units_;
  int refWidth_ = 1;
};

constexpr std::array<const char*, 8> kResultKeys{
    archive::kClassKey, "identifier",       "fileSystemResourcePath", "attributeMismatchedTypeString",
    "currentAttribute", "correctAttribute", "newAttribute",           "attributeStatusString"};
enum Field { kClass, kIdentifier, kPath, kMismatch, kCurrent, kCorrect, kNew, kStatus, kFields };
constexpr const char* kResultClass = "QLRepairPermissionsRepresentableResult";

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The objects of a binary property list, read by index. Every read is checked against the
// bytes; nothing or false means "not what was asked for".
class Reader {
 public:
  explicit Reader(std::string_view body) : body_(body), data_(reinterpret_cast<const unsigned char*>(body.data())) {}

  // The trailer; the root object's index.
  std::optional<std::uint64_t> open() {
    const auto layout = platform::binaryPlistLayout(body_);
    if (!layout) return std::nullopt;
    layout_ = *layout;
    refWidth_ = layout->refWidth;
    table_ = layout->table;
    return layout->root;
  }

  using Object = platform::BinaryPlistObject;
  std::optional<Object> object(std::uint64_t index) const { return platform::binaryPlistObject(body_, layout_, index); }

  // An array (one reference an entry) or a dictionary (two) whose references lie inside the objects.
  std::optional<Object> container(std::uint64_t index, unsigned char marker) const {
    const auto o = object(index);
    const std::uint64_t perEntry = marker == kDict ? 2 : 1;
    if (!o || o->type != (marker >> 4u) || o->length > (table_ - o->at) / refWidth_ / perEntry) return std::nullopt;
    return o;
  }
  std::uint64_t ref(const Object& container, std::uint64_t i) const {
    return platform::bigEndian(data_ + container.at + i * refWidth_, refWidth_);
  }

  // A number of 1, 2, 4 or 8 bytes, as libplist keeps it.
  std::optional<std::uint64_t> number(std::uint64_t index) const {
    const auto o = object(index);
    if (!o || o->type != (kInteger >> 4) || o->length > 3) return std::nullopt;
    const unsigned width = 1u << o->length;
    if (table_ - o->at < width) return std::nullopt;
    return platform::bigEndian(data_ + o->at, width);
  }

  // Whether the object is the ASCII text `expected`.
  bool is(std::uint64_t index, std::string_view expected) const {
    const auto o = object(index);
    return o && o->type == (kAscii >> 4) && o->length == expected.size() && table_ - o->at >= o->length &&
           std::memcmp(data_ + o->at, expected.data(), expected.size()) == 0;
  }

  // Text as libplist and the archive give it: ASCII objects byte for byte, UTF-16 as UTF-8.
  // False for a NUL (the archive refuses it), for UTF-16 that is not well formed (libplist
  // mends that its own way) and for empty UTF-16 (libplist refuses it).
  bool text(std::uint64_t index, std::string& out) const {
    const auto o = object(index);
    if (!o) return false;
    const unsigned char* at = data_ + o->at;
    const std::uint64_t room = table_ - o->at;
    if (o->type == (kAscii >> 4)) {
      if (o->length > room || std::memchr(at, 0, o->length)) return false;
      out.assign(reinterpret_cast<const char*>(at), o->length);
      return true;
    }
    if (o->type != (kUtf16 >> 4) || o->length == 0 || o->length > room / 2) return false;
    out.clear();
    out.reserve(o->length * 3);
    for (std::uint64_t i = 0; i < o->length; ++i) {
      auto code = static_cast<std::uint32_t>(platform::bigEndian(at + 2 * i, 2));
      if (code == 0 || (code >= 0xDC00 && code <= 0xDFFF)) return false;
      if (code >= 0xD800 && code <= 0xDBFF) {
        const auto low = static_cast<std::uint32_t>(i + 1 < o->length ? platform::bigEndian(at + 2 * (i + 1), 2) : 0);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
      appendUtf8(out, code);
    }
    return true;
  }

 private:
  std::string_view body_;
  const unsigned char* data_;
  platform::BinaryPlistLayout layout_;
  unsigned refWidth_ = 0;
  std::uint64_t table_ = 0;
};

// Which field a key object names. A writer shares its keys, so each is compared once.
class FieldKeys {
 public:
  int field(const Reader& reader, std::uint64_t key) {
    for (const auto& [index, field] : known_)
      if (index == key) return field;
    int field = -1;
    for (int k = 0; k < kFields; ++k)
      if (reader.is(key, kResultKeys[static_cast<std::size_t>(k)])) field = k;
    if (known_.size() < kRemembered) known_.emplace_back(key, field);
    return field;
  }

 private:
  static constexpr std::size_t kRemembered = 32;
  std::vector<std::pair<std::uint64_t, int>> known_;
};

}  // namespace

std::string encodeResultsMessage(Kind kind, std::uint64_t id,
                                 std::span<const QLRepairPermissionsRepresentableResult> results) {
  Writer writer;
  std::size_t textBytes = 0;
  for (const auto& result : results) textBytes += result.identifier.size() + result.fileSystemResourcePath.size();
  writer.reserve(textBytes * 2 + results.size() * 64 + 256, results.size() * 7 + 64);

  // The leaves first: the message's own keys and texts, then each result's values.
  const std::array<std::uint32_t, 3> messageKeys{writer.shared("kind"), writer.shared("id"),
                                                 writer.shared("arguments")};
  const std::uint32_t kindText = writer.shared(kind == Kind::part ? "part" : "reply");
  const std::uint32_t idValue = writer.integer(static_cast<std::int64_t>(id));
  std::array<std::uint32_t, kFields> keys{};
  for (std::size_t k = 0; k < kFields; ++k) keys[k] = writer.shared(kResultKeys[k]);
  const std::uint32_t className = writer.shared(kResultClass);
  std::vector<std::uint32_t> values;
  values.reserve(results.size() * kFields);
  for (const auto& result : results) {
    values.push_back(className);
    values.push_back(writer.string(result.identifier));
    values.push_back(writer.string(result.fileSystemResourcePath));
    values.push_back(writer.shared(result.attributeMismatchedTypeString));
    values.push_back(writer.integer(result.currentAttribute));
    values.push_back(writer.integer(result.correctAttribute));
    values.push_back(writer.integer(result.newAttribute));
    values.push_back(writer.shared(result.attributeStatusString));
  }
  // Then the containers: one dictionary per result, the results array, the arguments array
  // holding it, and the message.
  writer.setObjectCount(writer.written() + results.size() + 3);
  std::vector<std::uint32_t> dicts;
  dicts.reserve(results.size());
  for (std::size_t r = 0; r < results.size(); ++r)
    dicts.push_back(writer.dict(keys, std::span(values).subspan(r * kFields, std::size_t{kFields})));
  const std::uint32_t resultsArray = writer.array(dicts);
  const std::uint32_t arguments = writer.array(std::span(&resultsArray, 1));
  const std::array<std::uint32_t, 3> messageValues{kindText, idValue, arguments};
  return writer.finish(writer.dict(messageKeys, messageValues));
}

std::optional<ResultsMessage> decodeResultsMessage(std::string_view body, std::size_t frameLimit) {
  if (body.size() > frameLimit) return std::nullopt;
  Reader reader(body);
  const auto root = reader.open();
  const auto top = root ? reader.container(*root, kDict) : std::nullopt;
  // Exactly "kind", "id" and "arguments": anything more (a refusal) goes the long way.
  if (!top || top->length != 3) return std::nullopt;
  ResultsMessage message;
  std::optional<std::uint64_t> kind, id, arguments;
  for (std::uint64_t i = 0; i < 3; ++i) {
    const std::uint64_t key = reader.ref(*top, i), value = reader.ref(*top, 3 + i);
    std::optional<std::uint64_t>* slot = reader.is(key, "kind")        ? &kind
                                         : reader.is(key, "id")        ? &id
                                         : reader.is(key, "arguments") ? &arguments
                                                                       : nullptr;
    if (!slot || *slot) return std::nullopt;  // a key of no such message, or one twice
    *slot = value;
  }
  if (!kind || !id || !arguments) return std::nullopt;
  if (reader.is(*kind, "reply"))
    message.kind = Kind::reply;
  else if (reader.is(*kind, "part"))
    message.kind = Kind::part;
  else
    return std::nullopt;
  const auto number = reader.number(*id);
  if (!number || *number == 0 || *number > (1ull << 53)) return std::nullopt;
  message.id = *number;
  const auto values = reader.container(*arguments, kArray);
  if (!values || values->length != 1) return std::nullopt;
  const auto list = reader.container(reader.ref(*values, 0), kArray);
  if (!list || list->length > archive::kMaxArrayCount) return std::nullopt;
  // The message is of this shape: now the check decodeMessage makes of every frame (what the
  // objects grow to, cycles), so that nothing is read here that it would refuse.
  if (platform::binaryPlistRefusal(body, expansionBounds(frameLimit))) return std::nullopt;

  message.results.reserve(list->length);
  FieldKeys keys;
  std::optional<std::uint64_t> className;
  std::array<std::string, kFields> texts;
  for (std::uint64_t r = 0; r < list->length; ++r) {
    const auto dict = reader.container(reader.ref(*list, r), kDict);
    if (!dict || dict->length != kFields) return std::nullopt;
    std::array<std::uint64_t, kFields> fields{};
    unsigned seen = 0;
    for (std::uint64_t k = 0; k < kFields; ++k) {
      const int field = keys.field(reader, reader.ref(*dict, k));
      if (field < 0 || (seen & (1u << field))) return std::nullopt;
      seen |= 1u << field;
      fields[static_cast<std::size_t>(field)] = reader.ref(*dict, kFields + k);
    }
    if (fields[kClass] != className) {
      if (!reader.is(fields[kClass], kResultClass)) return std::nullopt;
      className = fields[kClass];
    }
    for (const Field field : {kIdentifier, kPath, kMismatch, kStatus})
      if (!reader.text(fields[field], texts[field])) return std::nullopt;
    const auto current = reader.number(fields[kCurrent]), correct = reader.number(fields[kCorrect]),
               applied = reader.number(fields[kNew]);
    if (!current || !correct || !applied) return std::nullopt;
    // libplist keeps the 64 bits; negative numbers are written in two's complement.
    message.results.emplace_back(std::move(texts[kIdentifier]), std::move(texts[kPath]), std::move(texts[kMismatch]),
                                 static_cast<std::int64_t>(*current), static_cast<std::int64_t>(*correct),
                                 static_cast<std::int64_t>(*applied), std::move(texts[kStatus]));
  }
  return message;
}

}  // namespace tarnix::wire
