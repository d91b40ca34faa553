#pragma once
// Firmware (EFI) variables. The Linux implementation goes through libefivar over efivarfs,
// where each variable is a file NAME-GUID holding a 4-byte attribute word and the value.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::platform {

// The vendor GUID under which macOS keeps its boot variables (csr-active-config, bootercfg).
inline constexpr std::string_view kAppleBootVariablesGuid = "7c436110-ab2a-4bbb-a880-fe41995c9f82";

struct FirmwareVariableName {
  std::string guid;  // lower case, 8-4-4-4-12
  std::string name;
};

class FirmwareVariables {
 public:
  virtual ~FirmwareVariables() = default;
  // Whether the machine offers firmware variables at all.
  virtual bool supported() = 0;
  // The value without its attribute word; nothing when the variable is missing, unreadable,
  // or the GUID or name is not well formed.
  virtual std::optional<std::vector<std::uint8_t>> read(std::string_view guid, std::string_view name) = 0;
  // 0 on success, otherwise an errno value. An existing variable keeps its attributes; a new one
  // is non-volatile and visible to boot services and the running system.
  virtual int write(std::string_view guid, std::string_view name, std::span<const std::uint8_t> value) = 0;
  // 0 on success, otherwise an errno value (ENOENT when there is no such variable).
  virtual int remove(std::string_view guid, std::string_view name) = 0;
  // Every variable; empty when unsupported.
  virtual std::vector<FirmwareVariableName> list() = 0;
};

// A name that can stand in a file name of efivarfs: not empty, at most 512 bytes, printable
// ASCII without "/", and not "." or "..". Anything else could leave the variables folder.
bool isValidVariableName(std::string_view name);
// The lower-case form of a GUID written as 8-4-4-4-12 hexadecimal digits; nothing otherwise.
std::optional<std::string> normaliseGuid(std::string_view text);

// The running machine's variables. libefivar reads EFIVARFS_PATH (ending in "/") when it is
// loaded, which lets tests point it at a temporary folder; that folder must exist by then.
FirmwareVariables& efiFirmwareVariables();

}  // namespace tarnix::platform
