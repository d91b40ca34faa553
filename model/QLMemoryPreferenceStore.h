#pragma once
#include <map>
#include <mutex>

#include "model/QLPreferenceStore.h"

namespace tarnix {

class QLMemoryPreferenceStore final : public QLPreferenceStore {
 public:
  bool contains(std::string_view key) const override;
  std::optional<QLPreferenceValue> value(std::string_view key) const override;
  void setValue(std::string_view key, QLPreferenceValue value) override;
  void removeAll() override;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, QLPreferenceValue, std::less<>> values_;
};

}  // namespace tarnix
