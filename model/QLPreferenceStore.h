#pragma once
// The user's defaults: a per-user store of typed values under string keys. The application
// backs it with its settings file; tests and tools use QLMemoryPreferenceStore.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tarnix {

// A file URL is kept as its text ("file:///home/user/Kexts/").
using QLPreferenceValue = std::variant<bool, std::int64_t, std::string>;

class QLPreferenceStore {
 public:
  virtual ~QLPreferenceStore() = default;
  // Whether the key holds anything, even a value that value() cannot read as its type.
  virtual bool contains(std::string_view key) const = 0;
  virtual std::optional<QLPreferenceValue> value(std::string_view key) const = 0;
  virtual void setValue(std::string_view key, QLPreferenceValue value) = 0;
  // Forgets every key of the application's domain.
  virtual void removeAll() = 0;
};

}  // namespace tarnix
