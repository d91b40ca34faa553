#pragma once
#include <memory>

#include "bootconfig/QLBootloaderConfig.h"

namespace tarnix {

// Chameleon's org.chameleon.Boot.plist: the SIP word is a top-level integer; there is no
// booter word.
class QLChameleonConfig final : public QLBootloaderConfig {
 public:
  static constexpr const char* kCsrActiveConfig = "CsrActiveConfig";

  // Nothing when the file cannot be read as a dictionary.
  static std::unique_ptr<QLChameleonConfig> create(const std::string& path);

  std::string_view image() const override { return "QLUIChameleon"; }
  QLBootloaderConfigType type() const override { return QLBootloaderConfigType::chameleon; }
  bool applySIPConfig(const QLRootlessConfig& newSIPConfig) override;
  // Always false: nothing is written.
  bool applyBooterConfig(const QLRootlessConfig& newBooterConfig) override;
  QLBootloaderWord readSIPWord(plist_t dictionary) const override;
  // Always notSupported.
  QLBootloaderWord readBooterWord(plist_t dictionary) const override;

 private:
  using QLBootloaderConfig::QLBootloaderConfig;
};

}  // namespace tarnix
