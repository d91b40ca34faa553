#pragma once
#include <cstdint>

namespace tarnix {

// A set of flags over a signed raw value; `Tag` keeps the SIP and booter sets apart.
template <typename Tag>
struct QLRootlessOptionSet {
  std::int64_t rawValue = 0;

  static constexpr QLRootlessOptionSet bit(int number) { return {std::int64_t{1} << number}; }
  constexpr bool contains(QLRootlessOptionSet member) const { return (rawValue & member.rawValue) == member.rawValue; }
  constexpr void insert(QLRootlessOptionSet member) { rawValue |= member.rawValue; }
  constexpr void remove(QLRootlessOptionSet member) { rawValue &= ~member.rawValue; }
  friend constexpr bool operator==(QLRootlessOptionSet, QLRootlessOptionSet) = default;
};

}  // namespace tarnix
