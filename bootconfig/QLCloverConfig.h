#pragma once
#include <memory>

#include "bootconfig/QLBootloaderConfig.h"

namespace tarnix {

// Clover's config.plist: both words are hex strings under RtVariables.
class QLCloverConfig final : public QLBootloaderConfig {
 public:
  static constexpr const char* kRtVariables = "RtVariables";
  static constexpr const char* kCsrActiveConfig = "CsrActiveConfig";
  static constexpr const char* kBooterConfig = "BooterConfig";

  // Nothing when the file cannot be read as a dictionary.
  static std::unique_ptr<QLCloverConfig> create(const std::string& path);

  std::string_view image() const override { return "QLUIClover"; }
  QLBootloaderConfigType type() const override { return QLBootloaderConfigType::clover; }
  bool applySIPConfig(const QLRootlessConfig& newSIPConfig) override;
  bool applyBooterConfig(const QLRootlessConfig& newBooterConfig) override;
  QLBootloaderWord readSIPWord(plist_t dictionary) const override;
  QLBootloaderWord readBooterWord(plist_t dictionary) const override;

 private:
  using QLBootloaderConfig::QLBootloaderConfig;
  bool applyToRtVariables(const char* key, const QLRootlessConfig& value);
};

}  // namespace tarnix
