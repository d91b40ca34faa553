#pragma once
// The Installation pane: kexts chosen by the user go into one of the three kext folders of the
// target volume, optionally after a backup of the versions they replace. In EZ mode a drop
// target covers the table; a drop runs backup, install, disk permissions and caches at once
// and ends with the detailed results.
#include <QVariant>
#include <optional>
#include <vector>

#include "model/QLKernelExtensionFolder.h"
#include "ui/QLMainAbstractMaintenanceViewController.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QRadioButton;
class QTableView;
class QTimer;

namespace tarnix {

class QLEZBox;
class QLEZOverlay;
class QLEZView;
class QLKextTableModel;

class QLInstallationViewController final : public QLMainAbstractMaintenanceViewController,
                                           public QLAbstractMaintenaceDelegate {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDInstallation";
  // The pause between an EZ drop and the start of the installation.
  static constexpr int kEZPreparingPauseMs = 3000;

  // The names of the failed kexts after the backup and install keys, as the final message
  // and the EZ results carry them; empty when nothing failed.
  static QString failureText(const std::optional<std::vector<QLKernelExtension>>& backupFailed,
                             const std::optional<std::vector<QLKernelExtension>>& installFailed);

  explicit QLInstallationViewController(QWidget* parent = nullptr);

  bool enableEZMode = false;
  std::optional<std::vector<QLRepairPermissionsRepresentableResult>> repairPermissionsResults;
  std::optional<std::vector<QLKernelExtension>> backupFailed;
  std::optional<std::vector<QLKernelExtension>> installFailed;
  QTimer* ezTimer = nullptr;  // the overlay's animation timer

  QGroupBox* boxInstallKexts = nullptr;
  QLabel* outletFieldSelectKexts = nullptr;
  QPushButton* outletButtonClear = nullptr;
  QPushButton* outletButtonSelect = nullptr;
  QTableView* tableViewKexts = nullptr;
  QGroupBox* boxPreference = nullptr;
  QCheckBox* outletButtonBackupKexts = nullptr;
  // Rows 0 to 2: /System/Library/Extensions/, /Library/Extensions/, /Extra/Extensions/.
  QButtonGroup* outletMatrixInstallKexts = nullptr;
  // The EZ overlay (a QLEZOverlay) and its parts.
  QLEZView* outletEZView = nullptr;
  QProgressBar* outletEZCircularIndicator = nullptr;
  QLabel* outletEZStatusField = nullptr;
  QLabel* outletEZKextImageView = nullptr;
  QLEZBox* outletEZBackgroundBox = nullptr;
  // Removes the selected kext rows (Delete, or the table's context menu).
  QAction* outletActionRemoveKexts = nullptr;

  QLKextTableModel* kextTableModel() const { return model_; }
  QRadioButton* matrixRow(int row) const;
  // Whether an installation chain (or the pause before it) is under way.
  bool isInstalling() const { return running_; }
  // Dropped in EZ mode before a volume was chosen; installed once one is.
  const QStringList& kextsWaitingForAVolume() const { return waitingForVolume_; }
  // The dated folder the last run's backup wrote, when it wrote one.
  const QString& lastBackupFolder() const { return backupFolder_; }

 public slots:
  void execute() override;
  void reset() override;
  void selectKexts();
  void clearKexts();
  void removeSelectedKexts();
  void selectInstallationFolder(int row);
  void updateExtraCellStatus(const QVariant& hasExtraFolder);
  void prepareEZInstallation(const QVariant& dropped);
  void renderEZView();
  void performEZAnimation();
  void didConnectToHelper();

 public:
  void willRepairDiskPermissions() override;
  void didRepairDiskPermissionsWithResults(std::vector<QLRepairPermissionsRepresentableResult> results) override;
  void willRebuildCaches() override;
  void didRebuildCaches() override;
  void willBackupKexts() override;
  void didBackupKexts(std::vector<QLKernelExtension> failed) override;
  void willInstallKexts() override;
  void didInstallKexts(std::vector<QLKernelExtension> failed) override;

 protected:
  void viewDidLoad() override;
  void renderLocalizedOutlets() override;
  void targetVolumeDidChange() override;
  void didRefuse(const QLXPCHelperRefusal& refusal) override;

 private:
  void lockInstallationControls();
  void unlockInstallationControls();
  void callInstall();
  void showStepStatus(const char* key);
  void keepUntilAVolumeIsChosen(const QStringList& paths);
  // The sentences a finished run adds: where the backup went, and how the caches were treated.
  QString backupText() const;
  void finishNormalMode();
  void finishEZMode();
  void cancelRun();
  void updateEZProgress(const QVariant& context);

  QLKextTableModel* model_ = nullptr;
  QLEZOverlay* ezOverlay_ = nullptr;
  QWidget* matrixView_ = nullptr;
  bool running_ = false;
  bool renderPending_ = false;
  // Paths of the drops that arrived during the preparing pause; installed in one run.
  QStringList pendingDrops_;
  bool preparing_ = false;
  QStringList waitingForVolume_;
  // The backup folder's entries before the backup, to tell the dated folder it adds.
  QString backupDestination_;
  QStringList backupEntriesBefore_;
  QString backupFolder_;
  bool backupRequested_ = false;
  bool nothingToBackUp_ = false;
};

}  // namespace tarnix
