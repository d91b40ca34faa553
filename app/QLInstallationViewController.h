#pragma once
// The Installation pane: kexts chosen by the user go into one of the three kext folders of the
// target volume, optionally after a backup of the versions they replace. In EZ mode a drop
// target covers the table; a drop runs backup, install, disk permissions and caches at once
// and ends with the detailed results.
#include <QVariant>
#include <optional>
#include <vector>

#include "app/presenter/QLInstallationPresenter.h"
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

// The widgets and the helper's calls; what happens when is its presenter's.
class QLInstallationViewController final : public QLMainAbstractMaintenanceViewController,
                                           public QLAbstractMaintenaceDelegate,
                                           public QLInstallationPaneView {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDInstallation";
  // The pause between an EZ drop and the start of the installation.
  static constexpr int kEZPreparingPauseMs = 3000;

  // The text through the string table.
  static QString localized(const QLInstallationText& text);

  explicit QLInstallationViewController(QWidget* parent = nullptr);

  // The mode, the run's state and its results.
  QLInstallationPresenter& presenter() { return presenter_; }
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

  // QLInstallationPaneView
  bool ezModePreference() const override;
  bool canCallHelper() override;
  bool hasTargetVolume() const override;
  std::string targetMountPoint() const override;
  bool helperConnected() const override;
  bool backupRequested() const override;
  std::string backupFolderPath() const override;
  std::vector<std::string> foldersIn(const std::string& folder) const override;
  bool helperRebuildsCachesNow() const override;
  void backUp(const std::vector<QLKernelExtension>& kexts, QLKernelExtensionFolder folder,
              const std::string& destination) override;
  void install(const std::vector<QLKernelExtension>& kexts, QLKernelExtensionFolder folder) override;
  void repairDiskPermissions() override;
  void rebuildCaches() override;
  void lockInstallationControls() override;
  void unlockInstallationControls(bool ezMode) override;
  void startProgress() override;
  void stopProgress() override;
  void showStep(std::string_view key, bool ezMode) override;
  void showReady() override;
  void showAlert(std::string_view key) override;
  void reloadKexts() override;
  void showFinished(const QLInstallationText& text) override;
  void presentResults(const QLInstallationText& description,
                      std::vector<QLRepairPermissionsRepresentableResult> results) override;
  void showEZMode(bool ezMode) override;
  void showEZIdle() override;
  void showEZPreparing() override;
  void showEZRunning() override;
  void showEZWaitingForAVolume() override;
  void afterPreparingPause(std::function<void()> task) override;

 private:
  void updateEZProgress(const QVariant& context);

  QLKextTableModel* model_ = nullptr;
  QLEZOverlay* ezOverlay_ = nullptr;
  QWidget* matrixView_ = nullptr;
  QLInstallationPresenter presenter_;
};

}  // namespace tarnix
