#pragma once
// The application's launch and quit sequences and its menu.
#include <QMenuBar>
#include <QObject>
#include <QPointer>

#include "app/core/QLApplicationLock.h"

class QApplication;
class QMainWindow;

namespace tarnix {

class QLSIPConfig;

class AppDelegate final : public QObject {
  Q_OBJECT
 public:
  explicit AppDelegate(QApplication& application);
  ~AppDelegate() override;

  // The restrictive-SIP text: one line for each of flags 0 and 1 that is not set; empty when
  // both are set.
  static QString sipWarningMessage(const QLSIPConfig& config);

  // String table, menu, first-launch defaults, the EZ installer check. False when the
  // application must not go on (the alert has been shown).
  bool applicationWillFinishLaunching();
  // Support folders, the SIP warning, the helper, the main window.
  void applicationDidFinishLaunching();
  // Tells the helper to end.
  void applicationWillTerminate();

  QPointer<QMainWindow> mainWindow;
  QMenuBar* mainMenu() const { return mainMenu_; }

 public slots:
  void showPreferences();
  void showAbout();

 private:
  void buildMainMenu();
  void localizeMainMenu();
  void showPaneWindow(const char* identifier);
  void helperDidFail(int error, const QString& information);

  QApplication& application_;
  QPointer<QMenuBar> mainMenu_;  // the main window owns it once it exists
  QLApplicationLock lock_;
};

}  // namespace tarnix
