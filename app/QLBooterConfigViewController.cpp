#include "app/QLBooterConfigViewController.h"

#include "app/QLAppManager.h"

namespace tarnix {

void QLBooterConfigViewController::applyThroughHelper(std::int64_t value, std::function<void(bool)> reply) {
  QLXPCTarnixHelperProtocol* proxy = QLAppManager::shared().proxy();
  if (!proxy) return reply(false);
  proxy->applyBooterConfigViaNVRAMWithNewBooterConfig(value, std::move(reply));
}

QLBooterConfigViewController::QLBooterConfigViewController(std::optional<QLRootlessPaneContext> context,
                                                     QWidget* parent)
    : QLBooterConfigViewController(Resolved{}, context ? withRunners(std::move(*context)) : defaultContext(), parent) {}

QLBooterConfigViewController::QLBooterConfigViewController(Resolved, QLRootlessPaneContext context, QWidget* parent)
    : QLMainAbstractRootlessViewController(parent),
      currentBooterConfig_(context.rootless.currentBooterConfig()),
      presenter_(*this, std::move(context), &applyThroughHelper) {
  setObjectName(QLatin1String(kIdentifier));
}

}  // namespace tarnix
