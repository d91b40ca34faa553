#pragma once
// Binary property lists put together object by object, for what no honest writer makes: shared
// subtrees, cycles, nesting past any limit, broken tables. Also measures the tree libplist
// built, to hold a check of the bytes against what the parser really made.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/PropertyList.h"

namespace tarnix::test {

class BinaryPlist {
 public:
  BinaryPlist(unsigned refWidth = 1, unsigned offsetWidth = 2) : refWidth_(refWidth), offsetWidth_(offsetWidth) {}

  // Each adds one object and returns its index.
  std::uint64_t ascii(std::string_view text) { return add(marker(0x50, text.size()) + std::string(text)); }
  std::uint64_t integer(std::uint64_t value) { return add('\x13' + bigEndian(value, 8)); }
  std::uint64_t array(const std::vector<std::uint64_t>& items) { return add(arrayBytes(items)); }
  std::uint64_t dict(const std::vector<std::uint64_t>& keys, const std::vector<std::uint64_t>& values) {
    return add(marker(0xd0, keys.size()) + refs(keys) + refs(values));
  }
  // A tree of strings, unsigned integers, arrays and dictionaries, each distinct string and
  // integer written once as an honest writer does. Quicker than libplist's writer on a large tree.
  std::uint64_t tree(plist_t node) {
    switch (plist_get_node_type(node)) {
      case PLIST_STRING: {
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return shared("s" + std::string(text, length), [&] { return ascii(std::string_view(text, length)); });
      }
      case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return shared("i" + std::to_string(value), [&] { return integer(value); });
      }
      case PLIST_ARRAY: {
        std::vector<std::uint64_t> items;
        for (plist_t item : platform::arrayItems(node)) items.push_back(tree(item));
        return array(items);
      }
      case PLIST_DICT: {
        std::vector<std::uint64_t> keys, values;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        for (;;) {
          char* key = nullptr;
          plist_t value = nullptr;
          plist_dict_next_item(node, iterator, &key, &value);
          if (!key) break;
          const std::string name(key);
          std::free(key);
          keys.push_back(shared("s" + name, [&] { return ascii(name); }));
          values.push_back(tree(value));
        }
        std::free(iterator);
        return dict(keys, values);
      }
      default: std::abort();  // not needed by the tests yet
    }
  }
  // An object's bytes as they stand, for the malformed ones.
  std::uint64_t raw(std::string bytes) { return add(std::move(bytes)); }
  // Fills a placeholder added earlier (to point back at later objects, or at itself).
  void replace(std::uint64_t index, std::string bytes) { objects_[index] = std::move(bytes); }
  std::string arrayBytes(const std::vector<std::uint64_t>& items) const {
    return marker(0xa0, items.size()) + refs(items);
  }

  // A message envelope {kind: "call", id: 1, selector, arguments} around `arguments`.
  std::uint64_t call(std::string_view selector, std::uint64_t arguments) {
    const std::vector keys{ascii("kind"), ascii("id"), ascii("selector"), ascii("arguments")};
    const std::vector values{ascii("call"), integer(1), ascii(selector), arguments};
    return dict(keys, values);
  }

  // Header, objects, offset table and trailer.
  std::string bytes(std::uint64_t root) const {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects_) {
      offsets.push_back(out.size());
      out += object;
    }
    const std::uint64_t table = out.size();
    for (auto offset : offsets) out += bigEndian(offset, offsetWidth_);
    out += std::string(6, '\0');
    out += static_cast<char>(offsetWidth_);
    out += static_cast<char>(refWidth_);
    out += bigEndian(objects_.size(), 8) + bigEndian(root, 8) + bigEndian(table, 8);
    return out;
  }

  static std::string bigEndian(std::uint64_t value, unsigned width) {
    std::string out(width, '\0');
    for (unsigned i = 0; i < width; ++i) out[width - 1 - i] = static_cast<char>(value >> (8 * i));
    return out;
  }

 private:
  // The type and length of an object; 15 and more follow as an integer object.
  static std::string marker(unsigned type, std::uint64_t length) {
    if (length < 15) return std::string(1, static_cast<char>(type | length));
    return std::string(1, static_cast<char>(type | 0x0f)) + '\x13' + bigEndian(length, 8);
  }
  std::string refs(const std::vector<std::uint64_t>& items) const {
    std::string out;
    for (auto item : items) out += bigEndian(item, refWidth_);
    return out;
  }
  template <typename Make>
  std::uint64_t shared(const std::string& key, Make make) {
    const auto found = written_.find(key);
    return found != written_.end() ? found->second : written_.emplace(key, make()).first->second;
  }
  std::uint64_t add(std::string bytes) {
    objects_.push_back(std::move(bytes));
    return objects_.size() - 1;
  }

  unsigned refWidth_, offsetWidth_;
  std::vector<std::string> objects_;
  std::unordered_map<std::string, std::uint64_t> written_;
};

// The call `test:` whose arguments hold `levels` arrays, each holding the one below twice:
// 2^levels nodes from a few hundred bytes.
inline std::string doublingPlist(unsigned levels) {
  BinaryPlist plist;
  std::uint64_t below = plist.array({});
  for (unsigned i = 0; i < levels; ++i) below = plist.array({below, below});
  return plist.bytes(plist.call("test:", below));
}

// The call `test:` whose arguments are `levels` arrays, each inside the next.
inline std::string deepPlist(unsigned levels) {
  BinaryPlist plist(3, 3);
  std::uint64_t inner = plist.array({});
  for (unsigned i = 0; i < levels; ++i) inner = plist.array({inner});
  return plist.bytes(plist.call("test:", inner));
}

// What libplist built: every node (keys included), containers on the deepest path, and the
// bytes of text and data values. Not of keys: libplist ends the process when asked for a key
// holding a NUL character.
struct TreeSize {
  std::uint64_t nodes = 0, depth = 0, bytes = 0;
};
inline TreeSize treeSize(plist_t node) {
  TreeSize size{1, 0, 0};
  const plist_type type = plist_get_node_type(node);
  if (type == PLIST_STRING) plist_get_string_ptr(node, &size.bytes);
  if (type == PLIST_DATA) plist_get_data_ptr(node, &size.bytes);
  const auto add = [&size](const TreeSize& child) {
    size.nodes += child.nodes;
    size.bytes += child.bytes;
    size.depth = std::max(size.depth, child.depth + 1);
  };
  if (type == PLIST_ARRAY) {
    size.depth = 1;
    for (plist_t item : platform::arrayItems(node)) add(treeSize(item));
  } else if (type == PLIST_DICT) {
    size.depth = 1;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (plist_t value = nullptr;;) {
      plist_dict_next_item(node, iterator, nullptr, &value);
      if (!value) break;
      add(TreeSize{1, 0, 0});  // its key
      add(treeSize(value));
    }
    std::free(iterator);
  }
  return size;
}

}  // namespace tarnix::test
