#include "app/QLBooterConfigViewController.h"

#include <QApplication>

#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"
#include "ui/QLMainThreadReply.h"

namespace tarnix {

void QLBooterConfigViewController::applyThroughHelper(std::int64_t value, std::function<void(bool)> reply) {
  QLXPCTarnixHelperProtocol* proxy = QLAppManager::shared().proxy();
  if (!proxy) return reply(false);
  proxy->applyBooterConfigViaNVRAMWithNewBooterConfig(
      value,
      replyOnMainThread<bool>(QCoreApplication::instance(),
                              [reply = std::move(reply)](bool applied, std::optional<QLXPCHelperRefusal> refusal) {
                                if (!refusal) return reply(applied);
                                // Not a failed write: nothing was tried. Said instead of the failure.
                                QLInterfaceHelpers::showAlert(QApplication::activeWindow(),
                                                              QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                                              QLHelperRefusalText(*refusal));
                              }));
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
