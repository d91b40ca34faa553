#include "app/QLSIPConfigViewController.h"

namespace tarnix {

QLSIPConfigViewController::QLSIPConfigViewController(std::optional<QLRootlessPaneContext> context, QWidget* parent)
    : QLSIPConfigViewController(Resolved{}, context ? withRunners(std::move(*context)) : defaultContext(), parent) {}

QLSIPConfigViewController::QLSIPConfigViewController(Resolved, QLRootlessPaneContext context, QWidget* parent)
    : QLMainAbstractRootlessViewController(parent),
      currentSIPConfig_(context.rootless.currentSIPConfig()),
      presenter_(*this, std::move(context)) {
  setObjectName(QLatin1String(kIdentifier));
}

}  // namespace tarnix
