#include "ezinstaller/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <cstdio>

#include "app/core/QLApplicationLock.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "client/QLXPCHelperManagerError.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLEZLocalization.h"
#include "ezinstaller/QLMainEZInstallerWindowController.h"
#include "ezinstaller/QLSmartTableManager.h"
#include "model/QLOSVolumeManager.h"
#include "platform/Log.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix::ezinstaller {
namespace {

// One flat numbering over the whole menu bar, menus and items alike.
constexpr const char* kMenuKeys[] = {
    "kQLAppMainAboutTarnix", "kQLAppMainCheckForUpdates", "kQLAppMainPreferences", "kQLAppMainHideTarnix",
    "kQLAppMainHideOthers",  "kQLAppMainShowAll",         "kQLAppMainQuitTarnix",  "kQLAppMainView",
    "kQLAppMainShowToolbar", "kQLAppMainCustomize",       "kQLAppMainWindow",      "kQLAppMainMinimize",
    "kQLAppMainZoom",        "kQLAppMainBringAllToFront", "kQLAppMainHelp",        "kQLAppMainTarnixHelp",
};

QAction* findTagged(const QList<QAction*>& actions, int tag) {
  for (QAction* action : actions) {
    if (action->data().isValid() && action->data().toInt() == tag) return action;
    if (action->menu())
      if (QAction* inner = findTagged(action->menu()->actions(), tag)) return inner;
  }
  return nullptr;
}

}  // namespace

AppDelegate::AppDelegate(QApplication& application) : application_(application) {
  connect(&application_, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

AppDelegate::~AppDelegate() {
  if (mainMenu_ && !mainMenu_->parent()) delete mainMenu_;
}

void AppDelegate::buildMainMenu() {
  mainMenu_ = new QMenuBar;
  auto tagged = [](QAction* action, int tag) {
    action->setData(tag);
    return action;
  };
  QMenu* application = mainMenu_->addMenu(QLLocalizedString("kQLEZMainMenuApplication"));
  connect(tagged(application->addAction(QString()), 0), &QAction::triggered, this, [this] {
    QMessageBox::about(
        mainWindow, QStringLiteral("Tarnix EZInstaller"),
        QStringLiteral("Tarnix EZInstaller " TARNIX_VERSION "\n\n") + QLLocalizedString("kQLEZMainAboutDescription"));
  });
  // The distribution's packages update the application.
  tagged(application->addAction(QString()), 1)->setEnabled(false);
  connect(tagged(application->addAction(QString()), 2), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->raise();
  });
  application->addSeparator();
  connect(tagged(application->addAction(QString()), 3), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showMinimized();
  });
  tagged(application->addAction(QString()), 4)->setEnabled(false);
  connect(tagged(application->addAction(QString()), 5), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showNormal();
  });
  application->addSeparator();
  QAction* quit = tagged(application->addAction(QString()), 6);
  quit->setShortcut(QKeySequence::Quit);
  connect(
      quit, &QAction::triggered, &application_, [] { QLAppManager::shared().terminate(); }, Qt::QueuedConnection);

  QMenu* view = mainMenu_->addMenu(QString());
  tagged(view->menuAction(), 7);
  tagged(view->addAction(QString()), 8)->setEnabled(false);  // the installer has no toolbar
  tagged(view->addAction(QString()), 9)->setEnabled(false);
  QMenu* window = mainMenu_->addMenu(QString());
  tagged(window->menuAction(), 10);
  connect(tagged(window->addAction(QString()), 11), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showMinimized();
  });
  connect(tagged(window->addAction(QString()), 12), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->isMaximized() ? mainWindow->showNormal() : mainWindow->showMaximized();
  });
  connect(tagged(window->addAction(QString()), 13), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->raise();
  });
  QMenu* help = mainMenu_->addMenu(QString());
  tagged(help->menuAction(), 14);
  tagged(help->addAction(QString()), 15)->setEnabled(false);
}

void AppDelegate::localizeMainMenu() {
  for (int tag = 0; tag < static_cast<int>(std::size(kMenuKeys)); ++tag)
    if (QAction* item = findTagged(mainMenu_->actions(), tag)) item->setText(QLLocalizedString(kMenuKeys[tag]));
}

bool AppDelegate::applicationWillFinishLaunching() {
  QLEZInstallStringTables(application_);
  application_.setWindowIcon(QIcon(QStringLiteral(":/images/local.quillon.tarnix.ezinstaller.svg")));
  buildMainMenu();
  localizeMainMenu();
  // The two applications never run together: Tarnix makes the mirror check.
  if (QLApplicationLock::isHeld(QLatin1String(kQLTarnixIdentifier))) {
    QLInterfaceHelpers::showAlert(nullptr, QLLocalizedString("kQLEZMainIsRunning"),
                                  QLLocalizedString("kQLEZMainIsRunningDescription"));
    return false;
  }
  QLEZInstallerPreferences& preferences = QLEZInstallerPreferences::shared();
  preferences.registerDefaults();
  const QString title = QLLocalizedString("kQLMainEZInstallerAnErrorOccured");
  QLSmartTableManager& smartTable = QLSmartTableManager::shared();
  if (!QDir().mkpath(QString::fromStdString(smartTable.supportFolder))) {
    QLInterfaceHelpers::showAlert(nullptr, title,
                                  QLLocalizedString("kQLMainEZInstallerUnableToCreateApplicationSupportDirectory"));
    return false;
  }
  if (const auto error = smartTable.allocate()) {
    const QString local = QString::fromStdString(smartTable.localTablePath());
    switch (*error) {
      // The user's copy cannot be compared or written: the built-in table serves instead, and
      // the alert says which file is in the way and what to do about it.
      case QLSmartTableManagerError::failedToFindLocalTableVersion:
        smartTable.useBuiltInTable = true;
        QLInterfaceHelpers::showAlert(nullptr, title,
                                      QLLocalizedString("kQLMainEZInstallerLocalSmartTableHasNoVersion").arg(local));
        break;
      case QLSmartTableManagerError::failedToAllocateDefaultSmartTable:
        smartTable.useBuiltInTable = true;
        QLInterfaceHelpers::showAlert(nullptr, title,
                                      QLLocalizedString("kQLMainEZInstallerUnableToWriteSmartTable").arg(local));
        break;
      // No usable built-in table: a fault of the package, nothing to fall back to.
      case QLSmartTableManagerError::failedToFindDefaultSmartTable:
      case QLSmartTableManagerError::failedToFindInternalTableVersion:
        QLInterfaceHelpers::showAlert(nullptr, title,
                                      QLLocalizedString("kQLMainEZInstallerUnableToAllocateDefaultSmartTable"));
        if (preferences.installationFolder() == QLKernelExtensionFolder::UseSmartTable) return false;
        break;
    }
  }
  return true;
}

void AppDelegate::applicationOpenFiles(const QStringList& paths) {
  timer = std::make_unique<QTimer>();
  timer->setSingleShot(true);
  timer->setInterval(kCollectionIntervalMs);
  connect(timer.get(), &QTimer::timeout, this, &AppDelegate::start);
  timer->start();
  files += paths;
  // Files that arrive while the preferences show would reach no installer pane.
  if (launched_ && !installing_) startInstalling();
}

void AppDelegate::applicationDidFinishLaunching() {
  auto* window = new QLMainEZInstallerWindowController(*this);
  window->setMenuBar(mainMenu_);
  launched_ = true;
  if (files.isEmpty()) {
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationPresentVC), false);
    return;
  }
  startInstalling();
}

void AppDelegate::startInstalling() {
  QLEZInstallerPreferences& preferences = QLEZInstallerPreferences::shared();
  const auto volume = resolveTargetVolume(preferences.targetVolumePath());
  if (!volume) {
    // Nothing is installed anywhere else, and the helper is not asked for. The files wait in
    // `files` for the volume the user chooses in the preferences, shown with the alert.
    if (timer) timer->stop();
    if (mainWindow && !mainWindow->contentViewController())
      QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationPresentVC), false);
    QLInterfaceHelpers::showAlert(mainWindow, QLLocalizedString("kQLMainEZInstallerAnErrorOccured"),
                                  QLLocalizedString("kQLMainEZInstallerChooseTargetVolume"));
    return;
  }
  installing_ = true;
  QLOSVolumeManager::shared().setSelected(volume);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationPresentVC), true);
  // The window answers the first notification only; files that come while the preferences
  // show take the window over here.
  if (mainWindow) mainWindow->presentInstaller();
  QLHelperNotificationBridge& bridge = QLAppManager::shared().bridge();
  connect(&bridge, &QLHelperNotificationBridge::didFail, this, &AppDelegate::helperDidFail, Qt::UniqueConnection);
  if (QLAppManager::shared().proxy()) return;
  QLAppManager::shared().startHelper(QLLocalizedString("kQLEZMainRequestAuthorization"));
}

void AppDelegate::targetVolumeDidChange() {
  if (installing_ || files.isEmpty()) return;
  // The kexts kept while no volume was chosen: their collection is over, they go now.
  startInstalling();
  if (installing_) start();
}

void AppDelegate::start() {
  if (timer) {
    timer->stop();
    timer.release()->deleteLater();
  }
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles), files);
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() const {
  return mainWindow && mainWindow->contentViewControllerTitle() == QLatin1String(kQLSBTitleIDMainEZInstallerPreference);
}

void AppDelegate::applicationShouldHandleReopen() {
  if (!mainWindow) return;
  if (!mainWindow->isVisible()) mainWindow->show();
  mainWindow->raise();
  mainWindow->activateWindow();
}

void AppDelegate::helperDidFail(int error, const QString& information) {
  QLAppManager::shared().helperDidFail(mainWindow, error, information);
}

void AppDelegate::applicationWillTerminate() { QLAppManager::shared().terminateHelper(); }

}  // namespace tarnix::ezinstaller
