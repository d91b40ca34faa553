#include "platform/FirmwareVariables.h"

// The library's header declares C functions without saying so.
extern "C" {
#include <efivar/efivar.h>
}

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace tarnix::platform {

bool isValidVariableName(std::string_view name) {
  if (name.empty() || name.size() > 512 || name == "." || name == "..") return false;
  for (const char c : name) {
    if (c < 0x21 || c > 0x7e || c == '/') return false;
  }
  return true;
}

std::optional<std::string> normaliseGuid(std::string_view text) {
  static constexpr std::size_t kGroups[] = {8, 4, 4, 4, 12};
  std::string result;
  std::size_t position = 0;
  for (std::size_t group = 0; group < 5; ++group) {
    if (group > 0) {
      if (position >= text.size() || text[position] != '-') return std::nullopt;
      result.push_back('-');
      ++position;
    }
    for (std::size_t i = 0; i < kGroups[group]; ++i, ++position) {
      if (position >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[position]))) return std::nullopt;
      result.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(text[position]))));
    }
  }
  if (position != text.size()) return std::nullopt;
  return result;
}

namespace {

constexpr std::uint32_t kPersistentAttributes =
    EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};

class EfiFirmwareVariables final : public FirmwareVariables {
 public:
  // libefivar dereferences a missing backend on a machine without EFI variables, so this is
  // asked once and guards every other call.
  bool supported() override {
    std::call_once(probe_, [this] { supported_ = efi_variables_supported() != 0; });
    return supported_;
  }

  std::optional<std::vector<std::uint8_t>> read(std::string_view guid, std::string_view name) override {
    efi_guid_t id;
    const std::string variable(name);
    if (!resolve(guid, variable, id)) return std::nullopt;
    std::uint8_t* raw = nullptr;
    std::size_t size = 0;
    std::uint32_t attributes = 0;
    if (efi_get_variable(id, variable.c_str(), &raw, &size, &attributes) < 0) return std::nullopt;
    std::unique_ptr<std::uint8_t, FreeDeleter> owned(raw);
    if (!raw) return std::vector<std::uint8_t>();
    return std::vector<std::uint8_t>(raw, raw + size);
  }

  int write(std::string_view guid, std::string_view name, std::span<const std::uint8_t> value) override {
    efi_guid_t id;
    const std::string variable(name);
    if (!supported()) return ENOTSUP;
    if (!resolve(guid, variable, id)) return EINVAL;
    std::uint32_t attributes = kPersistentAttributes;
    std::uint32_t existing = 0;
    if (efi_get_variable_exists(id, variable.c_str()) == 0 &&
        efi_get_variable_attributes(id, variable.c_str(), &existing) == 0 && (existing & kPersistentAttributes) != 0)
      attributes = existing & kPersistentAttributes;
    std::vector<std::uint8_t> data(value.begin(), value.end());
    errno = 0;
    if (efi_set_variable(id, variable.c_str(), data.data(), data.size(), attributes, 0644) < 0)
      return errno != 0 ? errno : EIO;
    return 0;
  }

  int remove(std::string_view guid, std::string_view name) override {
    efi_guid_t id;
    const std::string variable(name);
    if (!supported()) return ENOTSUP;
    if (!resolve(guid, variable, id)) return EINVAL;
    if (efi_get_variable_exists(id, variable.c_str()) != 0) return ENOENT;
    errno = 0;
    if (efi_del_variable(id, variable.c_str()) < 0) return errno != 0 ? errno : EIO;
    return 0;
  }

  std::vector<FirmwareVariableName> list() override {
    std::vector<FirmwareVariableName> names;
    if (!supported()) return names;
    std::lock_guard lock(listing_);  // the library keeps the listing's position in global state
    efi_guid_t* guid = nullptr;
    char* name = nullptr;
    while (efi_get_next_variable_name(&guid, &name) > 0) {
      char* text = nullptr;
      if (efi_guid_to_str(guid, &text) < 0 || !text) continue;
      std::unique_ptr<char, FreeDeleter> owned(text);
      if (auto normal = normaliseGuid(text)) names.push_back({*normal, name});
    }
    return names;
  }

 private:
  bool resolve(std::string_view guid, const std::string& name, efi_guid_t& id) {
    if (!supported() || !isValidVariableName(name)) return false;
    const auto normal = normaliseGuid(guid);
    return normal && efi_str_to_guid(normal->c_str(), &id) >= 0;
  }

  std::once_flag probe_;
  bool supported_ = false;
  std::mutex listing_;
};

}  // namespace

FirmwareVariables& efiFirmwareVariables() {
  static EfiFirmwareVariables variables;
  return variables;
}

}  // namespace tarnix::platform
