#pragma once
// The Preferences pane: kext backup folder, EZ installation mode, the start-up SIP warning,
// the repair thread budget, and resetting everything.
#include <optional>

#include "ui/QLMainAbstractViewController.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tarnix {

class QLMainPreferenceViewController final : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDPreferences";

  // The thread pop-up offers 1 … processorCount (the machine's logical processors by default).
  explicit QLMainPreferenceViewController(std::optional<int> processorCount = std::nullopt, QWidget* parent = nullptr);

  QGroupBox* outletBoxKextsBackupFolder = nullptr;
  QLineEdit* outletFieldKextsBackupFolder = nullptr;
  QPushButton* outletButtonSelectKextsBackupFolder = nullptr;
  QGroupBox* outletBoxEZInstallation = nullptr;
  QCheckBox* outletButtonEnableEZMode = nullptr;
  QGroupBox* outletBoxSIPWarning = nullptr;
  QCheckBox* outletButtonSIPWarning = nullptr;
  QGroupBox* outletBoxResetPreferences = nullptr;
  QPushButton* outletButtonResetPreferences = nullptr;
  QGroupBox* outletBoxRepairPermissionsPreferences = nullptr;
  QLabel* outletFieldRepairPermissionsMaximumThreads = nullptr;
  QComboBox* outletButtonRepairPermissionsMaximumThreads = nullptr;
  QLabel* outletFieldRepairPermissionsThreads = nullptr;

  // Takes a chosen folder: stored when the user may write to it, else the not-writable alert.
  bool chooseKextsBackupFolder(const QString& path);

 public slots:
  void selectKextsBackupFolder();
  void actionButtonEnableEZMode();
  void actionButtonSilenceSIPWarning();
  void actionButtonResetPreferences();
  void actionButtonRepairPermissionsMaximumThreads();

 protected:
  void viewDidLoad() override;

 private:
  void showBackupFolder();
  int processorCount_;
};

}  // namespace tarnix
