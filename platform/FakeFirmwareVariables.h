#pragma once
// Firmware variables in memory, for tests.
#include <map>
#include <utility>

#include "platform/FirmwareVariables.h"

namespace tarnix::platform {

class FakeFirmwareVariables final : public FirmwareVariables {
 public:
  void setSupported(bool supported) { supported_ = supported; }
  // Every later write and removal fails with `error` (0 lets them succeed again).
  void failWrites(int error) { writeError_ = error; }
  void set(std::string_view name, std::vector<std::uint8_t> value, std::string_view guid = kAppleBootVariablesGuid);
  std::size_t writeCount() const { return writes_; }

  bool supported() override { return supported_; }
  std::optional<std::vector<std::uint8_t>> read(std::string_view guid, std::string_view name) override;
  int write(std::string_view guid, std::string_view name, std::span<const std::uint8_t> value) override;
  int remove(std::string_view guid, std::string_view name) override;
  std::vector<FirmwareVariableName> list() override;

 private:
  std::map<std::pair<std::string, std::string>, std::vector<std::uint8_t>> values_;
  bool supported_ = true;
  int writeError_ = 0;
  std::size_t writes_ = 0;
};

}  // namespace tarnix::platform
