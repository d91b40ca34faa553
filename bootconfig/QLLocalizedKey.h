#pragma once
#include <string_view>

namespace tarnix {

// A key of the application's string table with the English text it stands for, so that a
// shell without translations still shows words.
struct QLLocalizedKey {
  std::string_view key;
  std::string_view english;
  friend constexpr bool operator==(const QLLocalizedKey& a, const QLLocalizedKey& b) { return a.key == b.key; }
};

}  // namespace tarnix
