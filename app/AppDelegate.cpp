#include "app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>

#include "app/QLMainWindowController.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLSupportFolders.h"
#include "bootconfig/QLRootlessConfigManager.h"
#include "platform/Processor.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"
#include "ui/QLMainAbstractViewController.h"

namespace tarnix {
namespace {

struct MenuItem {
  int menuTag;
  int itemTag;
  const char* key;
};
constexpr MenuItem kMenuItems[] = {
    {100, 101, "kQLAppMainAboutTarnix"}, {100, 102, "kQLAppMainCheckForUpdates"},
    {100, 103, "kQLAppMainPreferences"}, {100, 104, "kQLAppMainHideTarnix"},
    {100, 105, "kQLAppMainHideOthers"},  {100, 106, "kQLAppMainShowAll"},
    {100, 107, "kQLAppMainQuitTarnix"},  {200, 201, "kQLAppMainShowToolbar"},
    {200, 202, "kQLAppMainCustomize"},   {300, 301, "kQLAppMainMinimize"},
    {300, 302, "kQLAppMainZoom"},        {300, 303, "kQLAppMainBringAllToFront"},
};

QAction* findTagged(const QList<QAction*>& actions, int tag) {
  for (QAction* action : actions)
    if (action->data().toInt() == tag) return action;
  return nullptr;
}

}  // namespace

AppDelegate::AppDelegate(QApplication& application)
    : application_(application), lock_(QLatin1String(kQLTarnixIdentifier)) {
  connect(&application_, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

AppDelegate::~AppDelegate() {
  if (mainMenu_ && !mainMenu_->parent()) delete mainMenu_;
}

QString AppDelegate::sipWarningMessage(const QLSIPConfig& config) {
  QString message;
  if (!config.b0SIPAllowUntrustedKexts())
    message += QLLocalizedString("kQLAppMainFoundSIPB0Disabled") + QLatin1Char('\n');
  if (!config.b1SIPAllowUnrestrictedFileSystem())
    message += QLLocalizedString("kQLAppMainFoundSIPB1Disabled") + QLatin1Char('\n');
  if (!message.isEmpty()) message.chop(1);
  return message;
}

void AppDelegate::buildMainMenu() {
  mainMenu_ = new QMenuBar;
  auto addMenu = [this](int tag, const char* key) {
    QMenu* menu = mainMenu_->addMenu(QLLocalizedString(key));
    menu->menuAction()->setData(tag);
    return menu;
  };
  auto addItem = [](QMenu* menu, int tag) {
    QAction* item = menu->addAction(QString());
    item->setData(tag);
    return item;
  };
  QMenu* tarnixMenu = addMenu(100, "kQLAppMainMenuApplication");
  connect(addItem(tarnixMenu, 101), &QAction::triggered, this, &AppDelegate::showAbout);
  // No update framework is linked on this platform: the distribution's packages update it.
  addItem(tarnixMenu, 102)->setEnabled(false);
  QAction* preferences = addItem(tarnixMenu, 103);
  // The platform's own Preferences key is empty on Linux desktops.
  preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
  connect(preferences, &QAction::triggered, this, &AppDelegate::showPreferences);
  tarnixMenu->addSeparator();
  connect(addItem(tarnixMenu, 104), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showMinimized();
  });
  addItem(tarnixMenu, 105)->setEnabled(false);
  connect(addItem(tarnixMenu, 106), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showNormal();
  });
  tarnixMenu->addSeparator();
  QAction* quit = addItem(tarnixMenu, 107);
  quit->setShortcut(QKeySequence::Quit);
  // Quitting closes the main window first, which asks while an operation runs.
  connect(
      quit, &QAction::triggered, this,
      [this] {
        if (mainWindow && !mainWindow->close()) return;
        QLAppManager::shared().terminate();
      },
      Qt::QueuedConnection);

  QMenu* viewMenu = addMenu(200, "kQLAppMainMenuView");
  QAction* showToolbar = addItem(viewMenu, 201);
  showToolbar->setCheckable(true);
  showToolbar->setChecked(true);
  connect(showToolbar, &QAction::toggled, this, [this](bool shown) {
    if (auto* window = qobject_cast<QLMainWindowController*>(mainWindow.data()))
      window->outletMainToolbar->setVisible(shown);
  });
  addItem(viewMenu, 202)->setEnabled(false);

  QMenu* windowMenu = addMenu(300, "kQLAppMainMenuWindow");
  connect(addItem(windowMenu, 301), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->showMinimized();
  });
  connect(addItem(windowMenu, 302), &QAction::triggered, this, [this] {
    if (mainWindow) mainWindow->isMaximized() ? mainWindow->showNormal() : mainWindow->showMaximized();
  });
  connect(addItem(windowMenu, 303), &QAction::triggered, this, [] {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible()) window->raise();
  });
}

void AppDelegate::localizeMainMenu() {
  for (const MenuItem& row : kMenuItems) {
    QAction* menu = findTagged(mainMenu_->actions(), row.menuTag);
    if (!menu || !menu->menu()) continue;
    if (QAction* item = findTagged(menu->menu()->actions(), row.itemTag)) item->setText(QLLocalizedString(row.key));
  }
}

bool AppDelegate::applicationWillFinishLaunching() {
  QLInstallStringTable(application_);
  application_.setWindowIcon(QIcon(QStringLiteral(":/images/tarnix.svg")));
  buildMainMenu();
  localizeMainMenu();
  QLAppManager::shared().preferences().registerDefaults(QLSupportFolders::supportFolder().toStdString(),
                                                        platform::onlineProcessorCount());
  if (QLApplicationLock::isHeld(QLatin1String(kQLEZInstallerIdentifier))) {
    QLInterfaceHelpers::showAlert(nullptr, QLLocalizedString("kQLAppMainEZIsRunning"),
                                  QLLocalizedString("kQLAppMainEZIsRunningDescription"));
    return false;
  }
  // Held for the EZ installer's mirror check. A second Tarnix finds it taken and runs on.
  lock_.tryLock();
  return true;
}

void AppDelegate::applicationDidFinishLaunching() {
  if (!QLSupportFolders::create()) std::printf("QLAppMain::FatalError: Unable to create the default support folder.\n");

  QLAppManager::shared().restoreLastTargetVolume();
  auto* window = new QLMainWindowController;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setMenuBar(mainMenu_);
  mainWindow = window;
  window->show();

  if (!QLAppManager::shared().preferences().silenceSIPWarning()) {
    const QString message = sipWarningMessage(QLRootlessConfigManager::shared().currentSIPConfig());
    if (!message.isEmpty())
      QLInterfaceHelpers::showAlert(window, QLLocalizedString("kQLAppMainSIPConfigurationWarning"), message);
  }

  QLHelperNotificationBridge& bridge = QLAppManager::shared().bridge();
  connect(&bridge, &QLHelperNotificationBridge::didFail, this, &AppDelegate::helperDidFail, Qt::UniqueConnection);
  QLAppManager::shared().startHelper(QLLocalizedString("kQLAppMainRequestAuthorization"));
}

void AppDelegate::helperDidFail(int error, const QString& information) {
  QLAppManager::shared().helperDidFail(mainWindow, error, information);
}

void AppDelegate::applicationWillTerminate() { QLAppManager::shared().terminateHelper(); }

void AppDelegate::showPaneWindow(const char* identifier) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == QLatin1String(identifier) + QStringLiteral("Window") && window->isVisible()) {
      window->raise();
      window->activateWindow();
      return;
    }
  }
  QLMainAbstractViewController* pane = QLPaneFactory::instantiate(QLatin1String(identifier));
  if (!pane) return;
  auto* window = new QDialog(mainWindow);
  window->setObjectName(QLatin1String(identifier) + QStringLiteral("Window"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(pane->windowTitle());
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pane);
  window->show();
}

void AppDelegate::showPreferences() { showPaneWindow(QLPaneFactory::kQLSBIDPreferences); }
void AppDelegate::showAbout() { showPaneWindow(QLPaneFactory::kQLSBIDAbout); }

}  // namespace tarnix
