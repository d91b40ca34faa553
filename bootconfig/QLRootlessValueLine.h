#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "bootconfig/QLBootloaderWord.h"
#include "bootconfig/QLRootlessConfig.h"

namespace tarnix {

// The line under the check boxes: the current word and the word being edited.
struct QLRootlessValueLine {
  std::string currentHex;
  std::int64_t currentDecimal = 0;
  std::string newHex;
  std::int64_t newDecimal = 0;

  // An absent current value shows as 0x00 (0), an absent new value (or none) as 0x0 (0).
  static QLRootlessValueLine make(const QLRootlessConfig& current, const QLRootlessConfig* newer);

  // The text of the line, with the two labels looked up by `localized`:
  // "<current label>0x67 (103)  \t<new label>0x0 (0)".
  std::string text(const std::function<std::string(std::string_view key)>& localized) const;
  // The same with the English labels.
  std::string text() const;

  friend bool operator==(const QLRootlessValueLine&, const QLRootlessValueLine&) = default;
};

// The chosen bootloader file's own word, shown beside the line: "config.plist: 0xa87 (2695)".
struct QLBootloaderWordLine {
  std::string fileName;
  QLBootloaderWord word;

  // The word of the file at `path`, named by its last component.
  static QLBootloaderWordLine make(std::string_view path, QLBootloaderWord word);

  // The text, with the words for a missing, unreadable or unsupported value looked up by
  // `localized`; the same with the English words.
  std::string text(const std::function<std::string(std::string_view key)>& localized) const;
  std::string text() const;

  friend bool operator==(const QLBootloaderWordLine&, const QLBootloaderWordLine&) = default;
};

}  // namespace tarnix
