#pragma once
#include <memory>

#include "bootconfig/QLBootloaderConfig.h"

namespace tarnix {

// OpenCore's config.plist. OpenCore sets firmware variables from NVRAM -> Add -> GUID -> name
// (data), but replaces a variable the firmware already holds only when NVRAM -> Delete -> GUID
// lists its name; so a word is written in both places.
class QLOpenCoreConfig final : public QLBootloaderConfig {
 public:
  static constexpr const char* kNVRAM = "NVRAM";
  static constexpr const char* kAdd = "Add";
  static constexpr const char* kDelete = "Delete";
  // As OpenCore's own samples spell it; a key in another case is found and kept.
  static constexpr const char* kAppleBootVariablesGuid = "7C436110-AB2A-4BBB-A880-FE41995C9F82";
  static constexpr const char* kCsrActiveConfig = "csr-active-config";
  static constexpr const char* kBooterConfig = "bootercfg";

  // Whether a dictionary has OpenCore's sections: NVRAM holding Add, with Misc, UEFI, Kernel
  // and PlatformInfo beside it, all dictionaries.
  static bool hasSections(plist_t dictionary);

  // Nothing when the file cannot be read as a dictionary.
  static std::unique_ptr<QLOpenCoreConfig> create(const std::string& path);

  std::string_view image() const override { return "QLUIOpenCore"; }
  QLBootloaderConfigType type() const override { return QLBootloaderConfigType::opencore; }
  // 4 bytes, little-endian.
  bool applySIPConfig(const QLRootlessConfig& newSIPConfig) override;
  // 2 bytes, little-endian.
  bool applyBooterConfig(const QLRootlessConfig& newBooterConfig) override;
  QLBootloaderWord readSIPWord(plist_t dictionary) const override;
  QLBootloaderWord readBooterWord(plist_t dictionary) const override;

 private:
  using QLBootloaderConfig::QLBootloaderConfig;
  bool applyVariable(const char* name, std::size_t width, const QLRootlessConfig& value);
  static QLBootloaderWord readVariable(plist_t dictionary, const char* name, std::size_t width);
};

}  // namespace tarnix
