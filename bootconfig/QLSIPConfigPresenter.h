#pragma once
#include "bootconfig/QLMainAbstractRootlessPresenter.h"

namespace tarnix {

// The SIP pane (csr-active-config).
class QLSIPConfigPresenter final : public QLMainAbstractRootlessPresenter {
 public:
  QLSIPConfigPresenter(QLRootlessPaneView& view, QLRootlessPaneContext context);

  // Written to NVRAM only from the recovery system; a normal boot is refused.
  void applyViaNVRAM() override;

 protected:
  const Kind& kind() const override;
  const QLRootlessConfig& current() const override { return currentSIPConfig_; }
  const QLRootlessConfig* edited() const override { return context_.rootless.newSIPConfig(); }
  void setEditedFlag(int bit, bool on) override { context_.rootless.editSIPConfig().setFlag(bit, on); }
  void dropEdited() override { context_.rootless.dropNewSIPConfig(); }
  // B8 exists from macOS 10.12 on.
  bool flagEnabled(int bit) const override;
  QLBootloaderWord configWord(const QLBootloaderConfig& config) const override { return config.sipWordOnDisk(); }
  int applyEditedToConfig() override;

 private:
  const QLSIPConfig& currentSIPConfig_;
};

}  // namespace tarnix
