#pragma once
// The Command Line Tools pane: the integrated, installed and remote copies of the command-line
// tool side by side; install the integrated copy, upgrade from the remote feed, uninstall. The
// helper does the privileged file work.
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <optional>

#include "app/core/QLCommandLineTool.h"
#include "helper/protocol/QLXPCHelperRefusal.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"
#include "ui/QLMainAbstractViewController.h"

class QGroupBox;

class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;

namespace tarnix {

class QLMainCommandLineToolsViewController final : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDCommandLineTools";

  explicit QLMainCommandLineToolsViewController(QWidget* parent = nullptr);

  // Set before the pane is loaded to look elsewhere.
  QString localPath = QLatin1String(QLCommandLineTool::kLocalPath);
  QString integratedPath = QLCommandLineTool::integratedPath();
  std::optional<QLCommandLineTool::QLBrambleFeed> remoteInfo;

  QGroupBox* outletBoxIntegratedCommandLineToolStatus = nullptr;
  QGroupBox* outletBoxLocalCommandLineToolStatus = nullptr;
  QGroupBox* outletBoxRemoteCommandLineToolStatus = nullptr;
  QLabel* outletButtonIntegratedCommandLineToolStatusImage = nullptr;
  QLabel* outletButtonLocalCommandLineToolStatusImage = nullptr;
  QLabel* outletButtonRemoteCommandLineToolStatusImage = nullptr;
  QLabel* outletFieldIntegratedCommandLineToolVersion = nullptr;
  QLabel* outletFieldLocalCommandLineToolVersion = nullptr;
  QLabel* outletFieldRemoteCommandLineToolVersion = nullptr;
  QProgressBar* outletRemoteCommandLineToolCircularIndicator = nullptr;
  QProgressBar* outletCircularIndicator = nullptr;
  QPushButton* outletButtonUpgrade = nullptr;
  QPushButton* outletButtonUninstall = nullptr;
  QPushButton* outletButtonInstall = nullptr;

  // The alert or message shown last, while it is open.
  QMessageBox* presentedMessage() const { return presentedMessage_; }
  // Whether an install, upgrade or uninstall is under way.
  bool isBusy() const { return busy_; }

  // The local copy on this machine's disk (where the helper's root prefix puts it).
  QString localFilePath() const;

 public slots:
  void refresh();
  void actionButtonInstall();
  void actionButtonUpgrade();
  void actionButtonUninstall();

 protected:
  void viewDidLoad() override;

 private:
  enum class Row { integrated, local, remote };
  void renderLocalizedOutlets();
  void showRow(Row row, bool available, const QString& version);
  void showChecking(Row row);
  // Reads the local copy's version off the GUI thread, then shows it and runs `then`.
  void readLocalVersion(std::function<void()> then = {});
  void readIntegratedVersion();
  void readRemoteFeed();
  void setBusy(bool busy);
  void setLocalInstalled(bool installed);
  void finish();
  void alert(const QString& contents);
  void message(const QString& contents);
  void upgradeFailed(const char* reasonKey);
  // The alert of a failed install or removal, or why the helper refused it.
  void failed(const char* key);
  void didFinishDownloading(QNetworkReply* reply);
  // Saves a finished download to `path`; false, after the alert, when it cannot.
  bool saveDownload(QNetworkReply* reply, const QString& path);
  void installUpdate(const QString& archive);
  QLXPCTarnixHelperProtocol* proxy() const;

  // Runs `then` on the GUI thread while the pane lives: helper replies come on its connection.
  template <typename F>
  QLReply<bool> onMain(F then);

  QNetworkAccessManager* network_ = nullptr;
  QPointer<QMessageBox> presentedMessage_;
  bool busy_ = false;
  bool localInstalled_ = false;
  bool remoteKnown_ = false;
  std::optional<QLXPCHelperRefusal> refusal_;  // of the reply being handled
};

}  // namespace tarnix
