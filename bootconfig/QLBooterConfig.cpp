#include "bootconfig/QLBooterConfig.h"

namespace tarnix {

QLBooterConfig::QLBooterConfig() : QLBooterConfig(platform::efiFirmwareVariables()) {}

QLBooterConfig::QLBooterConfig(platform::FirmwareVariables& variables) : QLRootlessConfig("bootercfg", variables) {
  setDecimalValue(readFromNVRAM());
}

void QLBooterConfig::setDecimalValue(std::optional<std::int64_t> value) {
  if (value) *value &= kQLRootlessConfigMask;
  option_.rawValue = value.value_or(0);
  QLRootlessConfig::setDecimalValue(value);
}

void QLBooterConfig::setFlag(int bit, bool on) {
  if (bit < 0 || bit >= kQLRootlessConfigFlagCount) return;
  if (on)
    option_.insert(QLBooterConfigOption::bit(bit));
  else
    option_.remove(QLBooterConfigOption::bit(bit));
  QLRootlessConfig::setDecimalValue(option_.rawValue);
}

}  // namespace tarnix
