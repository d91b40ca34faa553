#include "ezinstaller/QLMainEZInstallerWindowController.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "app/QLAppManager.h"
#include "app/core/QLNotificationCenter.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLMainEZInstallerPreferenceViewController.h"
#include "ezinstaller/QLMainEZInstallerViewController.h"

namespace tarnix::ezinstaller {

QLMainEZInstallerWindowController::QLMainEZInstallerWindowController(AppDelegate& delegate) : delegate_(delegate) {
  setObjectName(QStringLiteral("QLMainEZInstallerWindow"));
  setWindowTitle(QStringLiteral("Tarnix EZInstaller"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  observer_ = QLNotificationCenter::defaultCenter().observe(
      this, QLatin1String(kQLNotificationPresentVC), [this](const QVariant& object) { switchViewController(object); });
  delegate_.mainWindow = this;
  hide();
}

void QLMainEZInstallerWindowController::switchViewController(const QVariant& object) {
  // Once per launch.
  QObject::disconnect(observer_);
  if (object.toBool()) {
    presentInstaller();
    return;
  }
  auto* pane = new QLMainEZInstallerPreferenceViewController;
  pane->loadView();
  setContent(pane);
}

void QLMainEZInstallerWindowController::presentInstaller() {
  QObject::disconnect(observer_);
  if (qobject_cast<QLMainEZInstallerViewController*>(content_.data())) return;
  auto* pane = new QLMainEZInstallerViewController;
  pane->loadView();
  // Only the running installation is shown: the menu belongs to the preferences.
  if (menuBar()) menuBar()->hide();
  // The pane paints its own translucent background.
  setAttribute(Qt::WA_TranslucentBackground);
  setContent(pane);
}

void QLMainEZInstallerWindowController::setContent(QLMainAbstractViewController* pane) {
  // The window disposes of the pane it replaces.
  content_ = pane;
  setCentralWidget(pane);
  show();
  raise();
}

QString QLMainEZInstallerWindowController::contentViewControllerTitle() const {
  return content_ ? content_->property("title").toString() : QString();
}

void QLMainEZInstallerWindowController::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  // Closing a running installation's window hides it; the run goes on and ends the
  // application itself.
  if (delegate_.applicationShouldTerminateAfterLastWindowClosed())
    QMetaObject::invokeMethod(this, [] { QLAppManager::shared().terminate(); }, Qt::QueuedConnection);
}

}  // namespace tarnix::ezinstaller
