#include "app/QLBooterConfigViewController.h"

#include <QApplication>

#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {

void QLBooterConfigViewController::applyThroughHelper(std::int64_t value, std::function<void(bool)> reply) {
  QLXPCTarnixHelperProtocol* proxy = QLAppManager::shared().proxy();
  if (!proxy) return reply(false);
  proxy->applyBooterConfigViaNVRAMWithNewBooterConfig(value, [reply = std::move(reply)](bool applied) {
    const auto& refusal = QLXPCHelperRefusal::current();
    if (!refusal) return reply(applied);
    // Not a failed write: nothing was tried. Said instead of the failure.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [text = QLHelperRefusalText(*refusal)] {
      QLInterfaceHelpers::showAlert(QApplication::activeWindow(), QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                    text);
    });
  });
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
