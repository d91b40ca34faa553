#include "bootconfig/QLSIPConfig.h"

namespace tarnix {

QLSIPConfig::QLSIPConfig() : QLSIPConfig(platform::efiFirmwareVariables()) {}

QLSIPConfig::QLSIPConfig(platform::FirmwareVariables& variables) : QLRootlessConfig("csr-active-config", variables) {
  setDecimalValue(readFromNVRAM());
}

void QLSIPConfig::setDecimalValue(std::optional<std::int64_t> value) {
  if (value) *value &= kQLRootlessConfigMask;
  options_.rawValue = value.value_or(0);
  QLRootlessConfig::setDecimalValue(value);
}

void QLSIPConfig::setFlag(int bit, bool on) {
  if (bit < 0 || bit >= kQLRootlessConfigFlagCount) return;
  if (on)
    options_.insert(QLSIPConfigOption::bit(bit));
  else
    options_.remove(QLSIPConfigOption::bit(bit));
  QLRootlessConfig::setDecimalValue(options_.rawValue);
}

}  // namespace tarnix
