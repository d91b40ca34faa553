#include "platform/FakeFirmwareVariables.h"

#include <cerrno>

namespace tarnix::platform {
namespace {
std::optional<std::pair<std::string, std::string>> keyOf(std::string_view guid, std::string_view name) {
  auto normal = normaliseGuid(guid);
  if (!normal || !isValidVariableName(name)) return std::nullopt;
  return std::make_pair(*normal, std::string(name));
}
}  // namespace

void FakeFirmwareVariables::set(std::string_view name, std::vector<std::uint8_t> value, std::string_view guid) {
  if (auto key = keyOf(guid, name)) values_[*key] = std::move(value);
}

std::optional<std::vector<std::uint8_t>> FakeFirmwareVariables::read(std::string_view guid, std::string_view name) {
  auto key = keyOf(guid, name);
  if (!supported_ || !key) return std::nullopt;
  auto found = values_.find(*key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

int FakeFirmwareVariables::write(std::string_view guid, std::string_view name, std::span<const std::uint8_t> value) {
  ++writes_;
  auto key = keyOf(guid, name);
  if (!supported_) return ENOTSUP;
  if (!key) return EINVAL;
  if (writeError_ != 0) return writeError_;
  values_[*key] = std::vector<std::uint8_t>(value.begin(), value.end());
  return 0;
}

int FakeFirmwareVariables::remove(std::string_view guid, std::string_view name) {
  auto key = keyOf(guid, name);
  if (!supported_) return ENOTSUP;
  if (!key) return EINVAL;
  if (writeError_ != 0) return writeError_;
  return values_.erase(*key) == 1 ? 0 : ENOENT;
}

std::vector<FirmwareVariableName> FakeFirmwareVariables::list() {
  std::vector<FirmwareVariableName> names;
  if (!supported_) return names;
  for (const auto& [key, value] : values_) names.push_back({key.first, key.second});
  return names;
}

}  // namespace tarnix::platform
