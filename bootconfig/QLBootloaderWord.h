#pragma once
#include <cstdint>

namespace tarnix {

// A word as a bootloader file holds it.
struct QLBootloaderWord {
  enum class State {
    value,         // `value` is the word
    notSet,        // the file does not set it
    unreadable,    // the file holds something that is not a word, or cannot be read
    notSupported,  // this bootloader has no such word
  };
  State state = State::notSet;
  std::int64_t value = 0;
  friend bool operator==(const QLBootloaderWord&, const QLBootloaderWord&) = default;
};

}  // namespace tarnix
