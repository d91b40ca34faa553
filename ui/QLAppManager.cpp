#include "ui/QLAppManager.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>

#include "app/core/QLLocalization.h"
#include "client/QLXPCHelperManagerError.h"
#include "model/QLCPU.h"
#include "model/QLOSVolumeManager.h"
#include "platform/Files.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Log.h"
#include "platform/Processor.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {

QLAppManager& QLAppManager::shared() {
  static QLAppManager manager;
  return manager;
}

QLAppManager::QLAppManager()
    : terminateHandler([] { QCoreApplication::quit(); }),
      store_(std::make_unique<QLSettingsPreferenceStore>()),
      preferences_(*store_) {
  QObject::connect(&bridge_, &QLHelperNotificationBridge::didConnect, &bridge_, [this] { helperDidConnect(); });
}

QLXPCHelperManager& QLAppManager::xpcManager() {
  if (!xpcManager_)
    xpcManager_ = std::make_unique<QLXPCHelperManager>(QLXPCHelper(QLXPCHelper::kIdentifier, TARNIX_VERSION), &bridge_);
  return *xpcManager_;
}

QLXPCTarnixHelperProtocol* QLAppManager::proxy() {
  if (proxyOverride_) return proxyOverride_;
  return xpcManager_ ? xpcManager_->proxy() : nullptr;
}

void QLAppManager::restoreLastTargetVolume() {
  const auto path = preferences_.lastTargetVolumePath();
  // Checked quietly first: a volume unmounted since is no error worth a diagnostic.
  if (!path || !platform::existsBeneath(*path, "/System/Library/CoreServices/SystemVersion.plist")) return;
  auto volume = QLOSVolume::initWithMountPoint(*path);
  if (volume && !volume->isRecovery()) QLOSVolumeManager::shared().setSelected(std::move(volume));
}

void QLAppManager::startHelper(const QString& prompt) {
  xpcManager().prompt = prompt.toStdString();
  starter_.start(xpcManager());
}

bool QLAppManager::helperRebuildsCachesNow() {
  return platform::pathExists(platform::HelperPlatformTable::fromEnvironment().kextcache);
}

void QLAppManager::helperDidFail(QWidget* window, int error, const QString& information) {
  const auto failure = static_cast<QLXPCHelperManagerError>(error);
  const QString text = QLLocalizedString(messageKey(failure));
  // What to try: the authorization can be asked for again; otherwise the package's helper and
  // its socket are what is missing.
  const char* hint = failure == QLXPCHelperManagerError::failedToAuthenticate
                         ? "kQLXPCHelperManagerTryAuthenticatingAgain"
                         : "kQLXPCHelperManagerTryCheckingTheHelper";
  const std::string name = xpcManager().helper().name();
  std::printf("QLAppXPCManager::%s XPC Error: %s\n", name.c_str(), text.toUtf8().constData());
  std::printf("QLAppXPCManager::%s Additional Info: %s\n", name.c_str(), information.toUtf8().constData());
  std::fflush(stdout);
  QLInterfaceHelpers::showAlert(window, QLLocalizedString("kQLXPCHelperManagerAnErrorOccured"),
                                text + QStringLiteral("\n\n") + QLLocalizedString(hint),
                                [] { QLAppManager::shared().terminate(); });
}

void QLAppManager::helperDidConnect() {
  const std::string where = "QLAppXPCManager::" + xpcManager().helper().name();
  platform::diagnostic(where, "Connected to the remote helper successfully.");
  QLXPCTarnixHelperProtocol* helper = proxy();
  if (!helper) return;
  // The reply comes on the connection's thread, perhaps after this object is gone.
  helper->test2([where](std::int64_t reply) { platform::diagnostic(where, "Remote reply: " + std::to_string(reply)); });
  // The helper keeps the budget in memory only: it gets the stored one after every connection.
  const std::int64_t threads =
      preferences_.repairPermissionsMaximumThreadsNumber().value_or(platform::onlineProcessorCount());
  QLCPU::shared().setMaxthread(threads);
  helper->changeMaximumThreadsNumber(threads, [](bool) {});
}

void QLAppManager::terminateHelper() {
  platform::diagnostic("AppDelegate::applicationWillTerminate()", "Prepare to quit. Terminating the helper...");
  if (auto* helper = proxy()) helper->terminate();
  platform::diagnostic("AppDelegate::applicationWillTerminate()", "Helper has been terminated. Goodbye.");
}

}  // namespace tarnix
