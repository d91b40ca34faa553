#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

// A key of the application's string table with the English text it stands for, so that a
// shell without translations still shows words.
struct QLLocalizedKey {
  std::string_view key;
  std::string_view english;
  friend constexpr bool operator==(const QLLocalizedKey& a, const QLLocalizedKey& b) { return a.key == b.key; }
};

// A text with the values of its "%1", "%2"... (paths, device names), which are never translated.
struct QLLocalizedText {
  QLLocalizedKey key;
  std::vector<std::string> arguments;

  // The text `localized` gives for the key, with the arguments put in.
  std::string text(std::string_view localized) const {
    std::string out;
    for (std::size_t i = 0; i < localized.size(); ++i) {
      const char next = i + 1 < localized.size() ? localized[i + 1] : '\0';
      if (localized[i] == '%' && next >= '1' && next <= '9' &&
          static_cast<std::size_t>(next - '1') < arguments.size()) {
        out += arguments[static_cast<std::size_t>(next - '1')];
        ++i;
      } else {
        out += localized[i];
      }
    }
    return out;
  }
  std::string english() const { return text(key.english); }
  friend bool operator==(const QLLocalizedText&, const QLLocalizedText&) = default;
};

}  // namespace tarnix
