#pragma once
// The installer's one window: hidden until the delegate says which pane to show, the
// installer pane (files came) or the preference pane (none came). Files dropped on it are
// opened with the application, as files dropped on its icon are.
#include <QMainWindow>
#include <QPointer>
#include <QVariant>

#include "ui/QLMainAbstractViewController.h"

namespace tarnix::ezinstaller {

class AppDelegate;

inline constexpr const char* kQLSBIDMainEZInstaller = "QLSBIDMainEZInstaller";
inline constexpr const char* kQLSBIDMainEZInstallerPreference = "QLSBIDMainEZInstallerPreference";
inline constexpr const char* kQLSBTitleIDMainEZInstallerPreference = "QLSBTitleIDMainEZInstallerPreference";

class QLMainEZInstallerWindowController final : public QMainWindow {
  Q_OBJECT
 public:
  explicit QLMainEZInstallerWindowController(AppDelegate& delegate);

  // Shows the window with the installer pane (true) or the preference pane (false). Answers
  // the first notification only.
  void switchViewController(const QVariant& object);
  // Files that arrive while the preferences show: the installer pane takes the window.
  void presentInstaller();

  QLMainAbstractViewController* contentViewController() const { return content_; }
  // The "title" of the pane showing; empty for none.
  QString contentViewControllerTitle() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void setContent(QLMainAbstractViewController* pane);

  AppDelegate& delegate_;
  QPointer<QLMainAbstractViewController> content_;
  QMetaObject::Connection observer_;
};

}  // namespace tarnix::ezinstaller
