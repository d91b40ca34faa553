#pragma once
// The EZ installer's launch, file collection and quit sequence.
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class QApplication;

namespace tarnix::ezinstaller {

class QLEZInstallerPreferences;
class QLMainEZInstallerWindowController;

inline constexpr const char* kQLNotificationPresentVC = "local.quillon.tarnix.ezinstaller.presentvc";
inline constexpr const char* kQLNotificationDidCollectAllFiles = "local.quillon.tarnix.ezinstaller.didCollectAllFiles";

class AppDelegate final : public QObject {
  Q_OBJECT
 public:
  // Files dropped in batches less than this apart form one run.
  static constexpr int kCollectionIntervalMs = 3000;

  explicit AppDelegate(QApplication& application);
  ~AppDelegate() override;

  // String tables, menu, the main application check, defaults, support folder, smart table.
  // False when the application must end (the alert has been shown).
  bool applicationWillFinishLaunching();
  // One batch of files opened with the application: restarts the quiet period.
  void applicationOpenFiles(const QStringList& paths);
  // The window, then the installer pane and the helper when files came, else the preferences.
  void applicationDidFinishLaunching();
  // Timer action: posts every collected path.
  void start();
  // A target volume was chosen in the preferences: files kept for want of one are installed.
  void targetVolumeDidChange();
  // True exactly while the preference pane is showing.
  bool applicationShouldTerminateAfterLastWindowClosed() const;
  // A launch without files while running: brings the window to the front.
  void applicationShouldHandleReopen();
  // Tells the helper to end.
  void applicationWillTerminate();

  QPointer<QLMainEZInstallerWindowController> mainWindow;
  std::unique_ptr<QTimer> timer;
  QStringList files;
  QMenuBar* mainMenu() const { return mainMenu_; }

 private:
  void buildMainMenu();
  void localizeMainMenu();
  void startInstalling();
  void helperDidFail(int error, const QString& information);

  QApplication& application_;
  QPointer<QMenuBar> mainMenu_;
  bool launched_ = false;
  bool installing_ = false;
};

}  // namespace tarnix::ezinstaller
