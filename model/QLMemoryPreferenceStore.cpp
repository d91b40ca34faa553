#include "model/QLMemoryPreferenceStore.h"

namespace tarnix {

bool QLMemoryPreferenceStore::contains(std::string_view key) const {
  std::lock_guard lock(mutex_);
  return values_.find(key) != values_.end();
}

std::optional<QLPreferenceValue> QLMemoryPreferenceStore::value(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void QLMemoryPreferenceStore::setValue(std::string_view key, QLPreferenceValue value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), std::move(value));
}

void QLMemoryPreferenceStore::removeAll() {
  std::lock_guard lock(mutex_);
  values_.clear();
}

}  // namespace tarnix
