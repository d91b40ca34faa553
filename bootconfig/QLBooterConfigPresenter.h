#pragma once
#include <cstdint>
#include <functional>

#include "bootconfig/QLMainAbstractRootlessPresenter.h"

namespace tarnix {

// The helper's booter write: the value, and a reply with success that may come on any thread.
using QLApplyBooterConfigViaHelper = std::function<void(std::int64_t value, std::function<void(bool)> reply)>;

// The booter pane (bootercfg).
class QLBooterConfigPresenter final : public QLMainAbstractRootlessPresenter {
 public:
  // Without `helper` (no connection) a normal boot's apply reports a failure, and says so.
  QLBooterConfigPresenter(QLRootlessPaneView& view, QLRootlessPaneContext context, QLApplyBooterConfigViaHelper helper);

  // Through the helper in a normal boot, written directly from the recovery system.
  void applyViaNVRAM() override;

 protected:
  const Kind& kind() const override;
  const QLRootlessConfig& current() const override { return currentBooterConfig_; }
  const QLRootlessConfig* edited() const override { return context_.rootless.newBooterConfig(); }
  void setEditedFlag(int bit, bool on) override { context_.rootless.editBooterConfig().setFlag(bit, on); }
  void dropEdited() override { context_.rootless.dropNewBooterConfig(); }
  QLBootloaderWord configWord(const QLBootloaderConfig& config) const override { return config.booterWordOnDisk(); }
  std::optional<QLRootlessMessage> refuseViaConfig() const override;
  int applyEditedToConfig() override;

 private:
  void answerFromHelper(bool applied);
  const QLBooterConfig& currentBooterConfig_;
  QLApplyBooterConfigViaHelper helper_;
};

}  // namespace tarnix
