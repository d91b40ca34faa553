#pragma once
#include "bootconfig/QLBooterConfigOption.h"
#include "bootconfig/QLRootlessConfig.h"

namespace tarnix {

// The bootercfg word with its nine flags. Construction reads the variable; each flag change
// keeps the value equal to the set of flags (bits above bit 8 never appear).
class QLBooterConfig final : public QLRootlessConfig {
 public:
  // The running machine's variables.
  QLBooterConfig();
  explicit QLBooterConfig(platform::FirmwareVariables& variables);

  const QLBooterConfigOption& option() const { return option_; }
  // A present value is masked to the nine flags; an absent one clears them.
  void setDecimalValue(std::optional<std::int64_t> value) override;

  // Flag `bit` (0 to 8); setting one makes the value present.
  bool flag(int bit) const {
    return bit >= 0 && bit < kQLRootlessConfigFlagCount && option_.contains(QLBooterConfigOption::bit(bit));
  }
  void setFlag(int bit, bool on);

  bool b0EnableRebootOnPanic() const { return flag(0); }
  void setB0EnableRebootOnPanic(bool on) { setFlag(0, on); }
  bool b1EnableHiDPI() const { return flag(1); }
  void setB1EnableHiDPI(bool on) { setFlag(1, on); }
  bool b2EnableBlack() const { return flag(2); }
  void setB2EnableBlack(bool on) { setFlag(2, on); }
  bool b3EnableCSRActiveConfig() const { return flag(3); }
  void setB3EnableCSRActiveConfig(bool on) { setFlag(3, on); }
  bool b4EnableCSRConfigMode() const { return flag(4); }
  void setB4EnableCSRConfigMode(bool on) { setFlag(4, on); }
  bool b5EnableCSRBoot() const { return flag(5); }
  void setB5EnableCSRBoot(bool on) { setFlag(5, on); }
  bool b6EnableBlackBackground() const { return flag(6); }
  void setB6EnableBlackBackground(bool on) { setFlag(6, on); }
  bool b7EnableLoginUI() const { return flag(7); }
  void setB7EnableLoginUI(bool on) { setFlag(7, on); }
  bool b8EnableInstallUI() const { return flag(8); }
  void setB8EnableInstallUI(bool on) { setFlag(8, on); }

 private:
  QLBooterConfigOption option_;
};

}  // namespace tarnix
