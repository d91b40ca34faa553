#include "ezinstaller/QLMainEZInstallerViewController.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLEZInstallerBackdrop.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLSmartTableManager.h"
#include "ezinstaller/QLUserNotificationCenter.h"
#include "model/QLKernelExtensionsManager.h"
#include "platform/Log.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix::ezinstaller {
namespace {

QStringList newPaths(const QStringList& paths, const QSet<QString>& handled) {
  QStringList fresh;
  for (const QString& path : paths)
    if (!handled.contains(path) && !fresh.contains(path)) fresh << path;
  return fresh;
}

}  // namespace

std::vector<QLKernelExtension>& QLMainEZInstallerViewController::failedKexts() {
  static std::vector<QLKernelExtension> failed;
  return failed;
}

QString QLMainEZInstallerViewController::renderedNames(const std::vector<QLKernelExtension>& kexts) {
  QStringList names;
  for (const auto& kext : kexts) names << QString::fromStdString(kext.name());
  return names.join(QLatin1Char(' '));
}

QLMainEZInstallerViewController::QLMainEZInstallerViewController(QWidget* parent)
    : QLMainAbstractMaintenanceViewController(parent) {
  setObjectName(QLatin1String("QLSBIDMainEZInstaller"));
  setProperty("title", QStringLiteral("QLSBTitleIDMainEZInstaller"));
  outletVisualEffectView = new QLEZInstallerBackdrop(this);
  // A drop has no volume to choose and nothing to execute: only its progress shows.
  for (QWidget* unused :
       {static_cast<QWidget*>(imageButton), static_cast<QWidget*>(mainTitle), static_cast<QWidget*>(volumeInfoField),
        static_cast<QWidget*>(resetButton), static_cast<QWidget*>(executeButton)})
    unused->hide();
  setMinimumWidth(420);
}

void QLMainEZInstallerViewController::viewDidLoad() {
  QLMainAbstractMaintenanceViewController::viewDidLoad();
  delegate = this;
  QLNotificationCenter::defaultCenter().observe(this, QLatin1String(kQLNotificationDidCollectAllFiles),
                                                [this](const QVariant& object) { runWithANotification(object); });
  QLInterfaceHelpers::start(circularIndicator);
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainEZIVCPreparing"));
  // While the desktop asks for the password to install the helper, the user learns why
  // nothing moves.
  QLHelperStarter& starter = QLAppManager::shared().helperStarter();
  auto showWaiting = [this](bool waiting) {
    if (waiting)
      updateStatusWithLocalizedString(QLLocalizedString("kQLAppMainWaitingForAuthorization"));
    else if (!running_)
      updateStatusWithLocalizedString(QLLocalizedString("kQLMainEZIVCPreparing"));
  };
  if (starter.isWaitingForAuthorization()) showWaiting(true);
  connect(&starter, &QLHelperStarter::waitingForAuthorizationChanged, this, showWaiting);
  if (const auto folder = QLEZInstallerPreferences::shared().installationFolder())
    QLKernelExtensionsManager::shared().installationFolder = *folder;
}

void QLMainEZInstallerViewController::showEvent(QShowEvent* event) {
  QLMainAbstractMaintenanceViewController::showEvent(event);
  const bool dark = QLEZInstallerPreferences::shared().appearanceMode() == QLMainEZInstallerAppearanceMode::DarkMode;
  outletVisualEffectView->applyAppearance(dark, {statusField, pathField}, circularIndicator);
}

void QLMainEZInstallerViewController::runWithANotification(const QVariant& object) {
  const QStringList paths = object.toStringList();
  if (running_ || (!proxy() && targetVolume)) {
    // One run at a time: a second run would share this one's kext list and position, and
    // the first to finish would end the application under the other. Without the helper
    // yet, the run starts once it is connected.
    pending_ = paths;
    if (!running_) {
      auto* bridge = &QLAppManager::shared().bridge();
      auto once = std::make_shared<QMetaObject::Connection>();
      *once = connect(bridge, &QLHelperNotificationBridge::didConnect, this, [this, once] {
        QObject::disconnect(*once);
        if (!running_ && pending_) {
          const QStringList waiting = *pending_;
          pending_.reset();
          runWithANotification(waiting);
        }
      });
    }
    return;
  }
  if (!targetVolume) {
    QLInterfaceHelpers::showAlert(nullptr, QLLocalizedString("kQLMainEZInstallerAnErrorOccured"),
                                  QLLocalizedString("kQLMainEZInstallerNoTargetVolume"));
    QLAppManager::shared().terminate();
    return;
  }
  const QStringList fresh = newPaths(paths, handled_);
  if (fresh.isEmpty() && !handled_.isEmpty()) return;  // the same list posted again
  beginRun(paths);
}

void QLMainEZInstallerViewController::beginRun(const QStringList& paths) {
  const QStringList fresh = newPaths(paths, handled_);
  running_ = true;
  index = 0;
  // A path dropped twice is one dropped item.
  files = paths;
  files.removeDuplicates();
  for (const QString& path : fresh) handled_.insert(path);
  std::vector<std::string> added;
  for (const QString& path : fresh) added.push_back(path.toStdString());
  QLKernelExtensionsManager& manager = QLKernelExtensionsManager::shared();
  manager.addKextsFromPaths(added);
  QLSmartTableManager& smartTable = QLSmartTableManager::shared();
  if (manager.installationFolder == QLKernelExtensionFolder::UseSmartTable) smartTable.loadForInstallation();
  if (manager.installationFolder == QLKernelExtensionFolder::AskMeEveryTime ||
      manager.installationFolder == QLKernelExtensionFolder::UseSmartTable) {
    didInstallKexts({});
    return;
  }
  install(manager.kextsTBI, manager.installationFolder);
}

void QLMainEZInstallerViewController::install(std::vector<QLKernelExtension> kexts, QLKernelExtensionFolder folder) {
  attempted_ += kexts.size();
  willInstallKexts();
  if (!proxy()) {  // the helper went away; its client reports that
    didInstallKexts(std::move(kexts));
    return;
  }
  installing_ = kexts;
  proxy()->installWithKernelExtensions(
      std::move(kexts), std::string(rawValue(folder)), *targetVolume,
      replyOnMain<std::vector<QLKernelExtension>>(
          [this](std::vector<QLKernelExtension> failed) { didInstallKexts(std::move(failed)); }));
}

std::optional<QLKernelExtensionFolder> QLMainEZInstallerViewController::askInstallationFolder(
    const QLKernelExtension& kext) {
  QMessageBox box(
      QMessageBox::Information, QStringLiteral("Tarnix EZInstaller"),
      QLLocalizedString("kQLMainEZInstallerVCSelectInstallationFolderForKext") + QString::fromStdString(kext.name()),
      QMessageBox::NoButton, window());
  box.setObjectName(QStringLiteral("askInstallationFolder"));
  box.setInformativeText(QLLocalizedString("kQLMainEZInstallerVCSelectInstallationFolderForKextDescription"));
  // The Extra folder is not offered here.
  QAbstractButton* le = box.addButton(QStringLiteral("/Library/Extensions/"), QMessageBox::AcceptRole);
  QAbstractButton* sle = box.addButton(QStringLiteral("/System/Library/Extensions/"), QMessageBox::AcceptRole);
  box.addButton(QLLocalizedString("kQLMainEZInstallerVCCancel"), QMessageBox::RejectRole);
  box.exec();
  if (box.clickedButton() == le) return QLKernelExtensionFolder::LibraryExtensions;
  if (box.clickedButton() == sle) return QLKernelExtensionFolder::SystemLibraryExtensions;
  return std::nullopt;
}

void QLMainEZInstallerViewController::willInstallKexts() {
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractInstallingKexts"));
}

void QLMainEZInstallerViewController::didRefuse(const QLXPCHelperRefusal& refusal) {
  auto& allFailed = failedKexts();
  allFailed.insert(allFailed.end(), installing_.begin(), installing_.end());
  installing_.clear();
  refusal_ = refusal;
  pending_.reset();  // a refused run is not followed by another that would be refused too
  finish();
}

void QLMainEZInstallerViewController::didInstallKexts(std::vector<QLKernelExtension> failed) {
  installing_.clear();
  auto& allFailed = failedKexts();
  allFailed.insert(allFailed.end(), failed.begin(), failed.end());
  QLKernelExtensionsManager& manager = QLKernelExtensionsManager::shared();
  const auto count = static_cast<int>(manager.kextsTBI.size());
  if (index < count && manager.installationFolder == QLKernelExtensionFolder::AskMeEveryTime) {
    const QLKernelExtension kext = manager.kextsTBI[static_cast<std::size_t>(index++)];
    // From the event loop, not inside the reply that brought us here.
    QTimer::singleShot(0, this, [this, kext] {
      if (const auto folder = askInstallationFolder(kext))
        install({kext}, *folder);
      else
        didInstallKexts({});
    });
    return;
  }
  if (index < count && manager.installationFolder == QLKernelExtensionFolder::UseSmartTable) {
    const QLKernelExtension kext = manager.kextsTBI[static_cast<std::size_t>(index++)];
    install({kext}, QLSmartTableManager::shared().folderForKext(kext.name()));
    return;
  }
  if (!proxy()) return finish();
  callRepairDiskPermissions();
}

void QLMainEZInstallerViewController::willRepairDiskPermissions() {
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractRepairingPermissions"));
  QLInterfaceHelpers::setDeterminate(circularIndicator, 0);
}

void QLMainEZInstallerViewController::didRepairDiskPermissionsWithResults(
    std::vector<QLRepairPermissionsRepresentableResult> results) {
  // Nothing here shows them; a whole system's results are freed off the GUI thread.
  QThreadPool::globalInstance()->start([dropped = std::make_shared<std::vector<QLRepairPermissionsRepresentableResult>>(
                                            std::move(results))]() mutable { dropped.reset(); });
  if (!proxy()) return finish();
  callRebuidCaches();
}

void QLMainEZInstallerViewController::willRebuildCaches() {
  updateStatusWithLocalizedString(QLLocalizedString(QLAppManager::helperRebuildsCachesNow()
                                                        ? "kQLMainAbstractRebuildingCaches"
                                                        : "kQLMainAbstractVCMarkingCachesForRebuild"));
  QLInterfaceHelpers::start(circularIndicator);
}

void QLMainEZInstallerViewController::didRebuildCaches() { finish(); }

void QLMainEZInstallerViewController::finish() {
  QLKernelExtensionsManager& manager = QLKernelExtensionsManager::shared();
  manager.kextsTBI.clear();
  manager.kextsTBB.clear();
  running_ = false;
  if (pending_) {
    const QStringList waiting = *pending_;
    pending_.reset();
    if (!newPaths(waiting, handled_).isEmpty()) {
      beginRun(waiting);
      return;
    }
  }
  QLInterfaceHelpers::stop(circularIndicator);
  const auto& failed = failedKexts();
  const std::size_t installed = attempted_ > failed.size() ? attempted_ - failed.size() : 0;
  QLUserNotification notification;
  notification.title = QStringLiteral("Tarnix EZInstaller - ") + QLLocalizedString("kQLMainEZInstallerVCFinished");
  // The dropped paths, non-kexts among them, and what became of the kexts.
  notification.subtitle = QLLocalizedString("kQLMainEZInstallerVCDropped") + QString::number(files.size()) +
                          QLatin1Char(' ') + QLLocalizedString("kQLMainEZInstallerVCInstalled") +
                          QString::number(installed) + QLatin1Char(' ') +
                          QLLocalizedString("kQLMainEZInstallerVCFailed") + QString::number(failed.size());
  // Without kextcache here the caches are only marked, and the text says so.
  const bool rebuilt = QLAppManager::helperRebuildsCachesNow();
  if (refusal_)
    notification.informativeText =
        QLHelperRefusalText(*refusal_, targetVolume ? QString::fromStdString(targetVolume->mountPoint) : QString());
  else if (!failed.empty())
    notification.informativeText = QLLocalizedString("kQLMainEZInstallerVCFailed") + renderedNames(failed);
  else if (installed == 0)
    notification.informativeText = QLLocalizedString(rebuilt ? "kQLMainEZInstallerVCNoKextsInstalled"
                                                             : "kQLMainEZInstallerVCNoKextsInstalledCachesMarked");
  else
    notification.informativeText =
        QLLocalizedString(rebuilt ? "kQLMainEZInstallerVCSelectedKextsHaveBeenInstalled"
                                  : "kQLMainEZInstallerVCSelectedKextsInstalledCachesMarked");
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainEZInstallerVCFinished"));
  if (QLUserNotificationCenter::defaultCenter().deliver(notification) == QLUserNotificationCenter::Delivery::desktop)
    return QLAppManager::shared().terminate();
  // No notification service: the same summary in a window, and the application ends when it
  // is dismissed, so the user learns what was installed.
  auto* summary = new QMessageBox(QMessageBox::Information, QLInterfaceHelpers::windowTitle(),
                                  QLLocalizedString("kQLMainEZInstallerVCFinished"), QMessageBox::Ok, window());
  summary->setObjectName(QStringLiteral("summary"));
  summary->setInformativeText(notification.subtitle + QLatin1Char('\n') + notification.informativeText);
  summary->setAttribute(Qt::WA_DeleteOnClose);
  connect(summary, &QMessageBox::finished, summary, [] { QLAppManager::shared().terminate(); });
  window()->show();
  summary->open();
}

}  // namespace tarnix::ezinstaller
