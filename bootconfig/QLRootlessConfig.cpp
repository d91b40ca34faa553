#include "bootconfig/QLRootlessConfig.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <vector>

#include "platform/Log.h"

namespace tarnix {
namespace {

constexpr std::size_t kLongestReadable = 10;

// Bytes of the variable's value; 0 for a name this word does not know.
std::size_t widthOf(const std::string& name) {
  if (name == "csr-active-config") return 4;
  if (name == "bootercfg") return 2;
  return 0;
}

}  // namespace

std::string QLHexString(std::int64_t value) {
  char text[24];
  if (value < 0)
    std::snprintf(text, sizeof text, "-0x%llx", static_cast<unsigned long long>(-(value + 1)) + 1ull);
  else
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return std::string(text);
}

std::optional<std::string> QLRootlessConfig::hexValue() const {
  if (!decimalValue_) return std::nullopt;
  return QLHexString(*decimalValue_);
}

std::optional<std::int64_t> QLRootlessConfig::readFromNVRAM() const {
  if (!propertyName_ || !variables_) return std::nullopt;
  const std::size_t width = widthOf(*propertyName_);
  if (width == 0) return std::nullopt;
  const auto bytes = variables_->read(platform::kAppleBootVariablesGuid, *propertyName_);
  if (!bytes || bytes->empty() || bytes->size() > kLongestReadable) return std::nullopt;
  std::uint32_t raw = 0;
  for (std::size_t i = 0; i < width && i < bytes->size(); ++i) raw |= std::uint32_t{(*bytes)[i]} << (8 * i);
  if (width == 2) return static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
  return static_cast<std::int32_t>(raw);
}

std::optional<std::vector<std::uint8_t>> QLRootlessConfig::nvramBytes() const {
  if (!decimalValue_ || !propertyName_) return std::nullopt;
  const std::size_t width = widthOf(*propertyName_);
  if (width == 0) return std::nullopt;
  const std::int64_t value = *decimalValue_;
  // Either reading of the field (signed or unsigned) is accepted; anything wider would be cut.
  const std::int64_t lowest =
      width == 4 ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int16_t>::min();
  const std::int64_t highest =
      width == 4 ? std::numeric_limits<std::uint32_t>::max() : std::numeric_limits<std::uint16_t>::max();
  if (value < lowest || value > highest) return std::nullopt;
  std::vector<std::uint8_t> bytes(width);
  const auto bits = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return bytes;
}

int QLRootlessConfig::writeToNVRAMStatus() const {
  if (!decimalValue_ || !propertyName_ || !variables_) {
    platform::diagnostic("QLRootlessConfig::writeToNVRAM()", "Error: no value or no variable name.");
    return EINVAL;
  }
  if (widthOf(*propertyName_) == 0) return EINVAL;
  const auto bytes = nvramBytes();
  if (!bytes) {
    platform::diagnostic("QLRootlessConfig::writeToNVRAM()", "Error: the value does not fit " + *propertyName_ + ".");
    return ERANGE;
  }
  const int status = variables_->write(platform::kAppleBootVariablesGuid, *propertyName_, *bytes);
  platform::diagnostic("QLRootlessConfig::writeToNVRAM()", "Result: " + std::to_string(status));
  return status;
}

}  // namespace tarnix
