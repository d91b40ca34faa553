#pragma once
// A boot flag word kept in a firmware variable of the macOS boot GUID.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FirmwareVariables.h"

namespace tarnix {

inline constexpr std::int64_t kQLRootlessConfigMask = 0x1ff;
inline constexpr int kQLRootlessConfigFlagCount = 9;

// "0x" and lower-case hex digits without padding: "0x0", "0x67", "-0x1".
std::string QLHexString(std::int64_t value);

class QLRootlessConfig {
 public:
  // A bare word: no value, no variable name; it reads nothing and writes nothing.
  QLRootlessConfig() = default;
  virtual ~QLRootlessConfig() = default;

  const std::optional<std::int64_t>& decimalValue() const { return decimalValue_; }
  virtual void setDecimalValue(std::optional<std::int64_t> value) { decimalValue_ = value; }
  const std::optional<std::string>& propertyName() const { return propertyName_; }

  // "0x" and lower-case hex digits without padding ("0x0", "0x67"); nothing without a value.
  std::optional<std::string> hexValue() const;

  // The variable as a signed little-endian number of the name's width (4 bytes for
  // csr-active-config, 2 for bootercfg); a shorter value is zero-extended. Nothing when the
  // variable is missing, unreadable, empty, longer than 10 bytes or of another name.
  std::optional<std::int64_t> readFromNVRAM() const;
  // The bytes writeToNVRAM stores: the value in the name's width, little-endian. Nothing
  // without a value or name, or for a value wider than the variable.
  std::optional<std::vector<std::uint8_t>> nvramBytes() const;
  // Stores the value in the name's width, little-endian. False without a value or name, for a
  // value that does not fit the width, or when the firmware refuses it.
  bool writeToNVRAM() const { return writeToNVRAMStatus() == 0; }
  // The same, answering 0 or the errno value that says why it failed: ENOTSUP without firmware
  // variables, EACCES or EPERM when not permitted, EROFS for a read-only variable, EINVAL
  // without a value or name, ERANGE for a value wider than the variable.
  int writeToNVRAMStatus() const;

 protected:
  QLRootlessConfig(std::string propertyName, platform::FirmwareVariables& variables)
      : propertyName_(std::move(propertyName)), variables_(&variables) {}

 private:
  std::optional<std::int64_t> decimalValue_;
  std::optional<std::string> propertyName_;
  platform::FirmwareVariables* variables_ = nullptr;
};

}  // namespace tarnix
