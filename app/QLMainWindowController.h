#pragma once
// The main window: a toolbar of the five panes and the pane it shows. Pane switching is off
// while a pane says an operation runs ("local.quillon.tarnix.didExecute" with false); closing
// the window then asks first, and may leave the application to quit once the operation ends.
// The window keeps the size the user gave it across pane switches, growing only when a pane
// needs more room; a bar under the toolbar shows while the helper's installation waits for
// the user's authorization.
#include <QMainWindow>
#include <QPointer>

class QAction;
class QFrame;
class QCloseEvent;
class QMessageBox;
class QToolBar;
class QVBoxLayout;

namespace tarnix {

class QLMainAbstractViewController;

class QLMainWindowController final : public QMainWindow {
  Q_OBJECT
 public:
  explicit QLMainWindowController(QWidget* parent = nullptr);

  QToolBar* outletMainToolbar = nullptr;
  QAction* outletToolbarItemMaintenance = nullptr;
  QAction* outletToolbarItemInstallation = nullptr;
  QAction* outletToolbarItemSIPConfig = nullptr;
  QAction* outletToolbarItemBooterConfig = nullptr;
  QAction* outletToolbarItemCommandLineTools = nullptr;
  // "Waiting for authorization": shown while the helper's install step waits for the user.
  QFrame* outletAuthorizationBar = nullptr;

  // The pane shown, or null when its identifier has none.
  QLMainAbstractViewController* contentViewController() const { return pane_; }
  // Whether the toolbar items switch panes.
  bool isPaneSwitchingEnabled() const { return switchingEnabled_; }

 public slots:
  // Shows the pane whose identifier the item carries; does nothing while switching is off.
  void switchViewController(QAction* item);
  void userInteractionManager(const QVariant& idle);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void windowDidLoad();
  void showPane(const QString& identifier);
  bool switchingEnabled_ = true;
  QVBoxLayout* content_ = nullptr;
  QPointer<QLMainAbstractViewController> pane_;
  bool quitWhenIdle_ = false;  // the person chose to quit once the running operation ends
  QPointer<QMessageBox> closeQuestion_;
};

}  // namespace tarnix
