#pragma once
// The installer's preferences, shown when it is opened without files: the installation
// folder, the appearance, and the macOS volume to install into when the running system is
// not one.
#include "ui/QLMainAbstractViewController.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnix::ezinstaller {

class QLMainEZInstallerPreferenceViewController final : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  explicit QLMainEZInstallerPreferenceViewController(QWidget* parent = nullptr);

  // One line on how to use the installer: drop kexts on the window, or name them on the
  // command line.
  QLabel* outletFieldUsage = nullptr;
  QGroupBox* outletBoxDefaultPreference = nullptr;
  QLabel* outletFieldInstallKexts = nullptr;
  QComboBox* outletButtonPopUpSelectInstallationFolder = nullptr;
  QPushButton* outletButtonEditDefaultTable = nullptr;
  QGroupBox* outletBoxDefaultAppearance = nullptr;
  QComboBox* outletButtonPopUpSelectDefaultAppearance = nullptr;
  QGroupBox* outletBoxTargetVolume = nullptr;
  QLineEdit* outletFieldTargetVolume = nullptr;
  QPushButton* outletButtonSelectTargetVolume = nullptr;
  QLabel* outletFieldTargetVolumeDescription = nullptr;

  // A macOS volume that is not a recovery system is stored as the target; anything else
  // gets the alert the volume chooser gives and changes nothing. True when stored.
  bool chooseTargetVolumeAtPath(const QString& path);

 signals:
  void targetVolumeChosen();

 public slots:
  void actionButtonSelectInstallationFolder();
  void actionButtonSelectDefaultAppearance();
  // Opens the local smart table in the user's editor.
  void actionButtonEditDefaultTable();
  void actionButtonSelectTargetVolume();

 protected:
  void viewDidLoad() override;

 private:
  void showTargetVolume();
};

}  // namespace tarnix::ezinstaller
