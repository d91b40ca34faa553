#pragma once
// The Booter Config pane: bootercfg as nine check boxes, applied through a Clover file, or to
// NVRAM (by the helper in a normal boot, directly from the recovery system).
#include <optional>

#include "app/QLMainAbstractRootlessViewController.h"
#include "bootconfig/QLBooterConfigPresenter.h"

namespace tarnix {

class QLBooterConfigViewController final : public QLMainAbstractRootlessViewController {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDBooterConfig";

  // Without a context the pane works on the application's shared managers.
  explicit QLBooterConfigViewController(std::optional<QLRootlessPaneContext> context = std::nullopt,
                                        QWidget* parent = nullptr);

  const QLBooterConfig& currentBooterConfig() const { return currentBooterConfig_; }

  // The booter write of a normal boot: the helper the application is connected to, asked at the
  // moment of the click; a failure when there is none.
  static void applyThroughHelper(std::int64_t value, std::function<void(bool)> reply);

 protected:
  QLMainAbstractRootlessPresenter& presenter() override { return presenter_; }

 private:
  struct Resolved {};
  QLBooterConfigViewController(Resolved, QLRootlessPaneContext context, QWidget* parent);
  const QLBooterConfig& currentBooterConfig_;
  QLBooterConfigPresenter presenter_;
};

}  // namespace tarnix
