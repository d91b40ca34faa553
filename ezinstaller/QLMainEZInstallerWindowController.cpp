#include "ezinstaller/QLMainEZInstallerWindowController.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>

#include "app/core/QLNotificationCenter.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLMainEZInstallerPreferenceViewController.h"
#include "ezinstaller/QLMainEZInstallerViewController.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix::ezinstaller {

QLMainEZInstallerWindowController::QLMainEZInstallerWindowController(AppDelegate& delegate) : delegate_(delegate) {
  setObjectName(QStringLiteral("QLMainEZInstallerWindow"));
  setWindowTitle(QStringLiteral("Tarnix EZInstaller"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  observer_ = QLNotificationCenter::defaultCenter().observe(
      this, QLatin1String(kQLNotificationPresentVC), [this](const QVariant& object) { switchViewController(object); });
  delegate_.mainWindow = this;
  // Most desktops cannot drop files on a launcher: the window takes them too.
  setAcceptDrops(true);
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
  // Queued: the delegate may replace this pane, which must not go while its call runs.
  connect(
      pane, &QLMainEZInstallerPreferenceViewController::targetVolumeChosen, this,
      [this] { delegate_.targetVolumeDidChange(); }, Qt::QueuedConnection);
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
  adjustSize();
  show();
  raise();
}

QString QLMainEZInstallerWindowController::contentViewControllerTitle() const {
  return content_ ? content_->property("title").toString() : QString();
}

void QLMainEZInstallerWindowController::dragEnterEvent(QDragEnterEvent* event) {
  if (QLInterfaceHelpers::localPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QLMainEZInstallerWindowController::dragMoveEvent(QDragMoveEvent* event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QLMainEZInstallerWindowController::dropEvent(QDropEvent* event) {
  QStringList paths = QLInterfaceHelpers::localPaths(event->mimeData());
  if (paths.isEmpty()) return event->ignore();
  for (QString& path : paths) path = QDir::cleanPath(path);  // as paths given on the command line
  event->setDropAction(Qt::CopyAction);
  event->accept();
  delegate_.applicationOpenFiles(paths);
}

void QLMainEZInstallerWindowController::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  // Closing a running installation's window hides it; the run goes on and ends the
  // application itself.
  if (delegate_.applicationShouldTerminateAfterLastWindowClosed())
    QMetaObject::invokeMethod(
        this, [] { QLAppManager::shared().terminate(); }, Qt::QueuedConnection);
}

}  // namespace tarnix::ezinstaller
