#pragma once
// The SIP Config pane: csr-active-config as nine check boxes, applied through a bootloader
// file, or to NVRAM from the recovery system.
#include <optional>

#include "app/QLMainAbstractRootlessViewController.h"
#include "bootconfig/QLSIPConfigPresenter.h"

namespace tarnix {

class QLSIPConfigViewController final : public QLMainAbstractRootlessViewController {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDSIPConfig";

  // Without a context the pane works on the application's shared managers.
  explicit QLSIPConfigViewController(std::optional<QLRootlessPaneContext> context = std::nullopt,
                                     QWidget* parent = nullptr);

  const QLSIPConfig& currentSIPConfig() const { return currentSIPConfig_; }

 protected:
  QLMainAbstractRootlessPresenter& presenter() override { return presenter_; }

 private:
  struct Resolved {};
  QLSIPConfigViewController(Resolved, QLRootlessPaneContext context, QWidget* parent);
  const QLSIPConfig& currentSIPConfig_;
  QLSIPConfigPresenter presenter_;
};

}  // namespace tarnix
