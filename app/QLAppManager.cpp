#include "app/QLAppManager.h"

#include <QCoreApplication>

namespace tarnix {

QLAppManager& QLAppManager::shared() {
  static QLAppManager manager;
  return manager;
}

QLAppManager::QLAppManager()
    : terminateHandler([] { QCoreApplication::quit(); }),
      store_(std::make_unique<QLSettingsPreferenceStore>()),
      preferences_(*store_) {}

QLXPCHelperManager& QLAppManager::xpcManager() {
  if (!xpcManager_)
    xpcManager_ = std::make_unique<QLXPCHelperManager>(QLXPCHelper(QLXPCHelper::kIdentifier, TARNIX_VERSION), &bridge_);
  return *xpcManager_;
}

QLXPCTarnixHelperProtocol* QLAppManager::proxy() {
  if (proxyOverride_) return proxyOverride_;
  return xpcManager_ ? xpcManager_->proxy() : nullptr;
}

}  // namespace tarnix
