#pragma once
#include "bootconfig/QLRootlessConfig.h"
#include "bootconfig/QLSIPConfigOption.h"

namespace tarnix {

// The csr-active-config word with its nine flags. Construction reads the variable; each flag change
// keeps the value equal to the set of flags (bits above bit 8 never appear).
class QLSIPConfig final : public QLRootlessConfig {
 public:
  // The running machine's variables.
  QLSIPConfig();
  explicit QLSIPConfig(platform::FirmwareVariables& variables);

  const QLSIPConfigOption& options() const { return options_; }
  // A present value is masked to the nine flags; an absent one clears them.
  void setDecimalValue(std::optional<std::int64_t> value) override;

  // Flag `bit` (0 to 8); setting one makes the value present.
  bool flag(int bit) const {
    return bit >= 0 && bit < kQLRootlessConfigFlagCount && options_.contains(QLSIPConfigOption::bit(bit));
  }
  void setFlag(int bit, bool on);

  bool b0SIPAllowUntrustedKexts() const { return flag(0); }
  void setB0SIPAllowUntrustedKexts(bool on) { setFlag(0, on); }
  bool b1SIPAllowUnrestrictedFileSystem() const { return flag(1); }
  void setB1SIPAllowUnrestrictedFileSystem(bool on) { setFlag(1, on); }
  bool b2SIPAllowTaskForPID() const { return flag(2); }
  void setB2SIPAllowTaskForPID(bool on) { setFlag(2, on); }
  bool b3SIPAllowKernelDebugger() const { return flag(3); }
  void setB3SIPAllowKernelDebugger(bool on) { setFlag(3, on); }
  bool b4SIPAllowAppleInternal() const { return flag(4); }
  void setB4SIPAllowAppleInternal(bool on) { setFlag(4, on); }
  bool b5SIPAllowUnrestrictedDtrace() const { return flag(5); }
  void setB5SIPAllowUnrestrictedDtrace(bool on) { setFlag(5, on); }
  bool b6SIPAllowUnrestrictedNVRAM() const { return flag(6); }
  void setB6SIPAllowUnrestrictedNVRAM(bool on) { setFlag(6, on); }
  bool b7SIPAllowDeviceConfiguration() const { return flag(7); }
  void setB7SIPAllowDeviceConfiguration(bool on) { setFlag(7, on); }
  bool b8SIPPlaceholderBaseSystem() const { return flag(8); }
  void setB8SIPPlaceholderBaseSystem(bool on) { setFlag(8, on); }

 private:
  QLSIPConfigOption options_;
};

}  // namespace tarnix
