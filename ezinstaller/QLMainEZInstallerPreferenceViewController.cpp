#include "ezinstaller/QLMainEZInstallerPreferenceViewController.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "app/core/QLLocalization.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLMainEZInstallerWindowController.h"
#include "ezinstaller/QLSmartTableManager.h"
#include "model/QLKernelExtensionsManager.h"
#include "ui/QLInterfaceHelpers.h"
#include "ui/QLMainAbstractMaintenanceViewController.h"

namespace tarnix::ezinstaller {
namespace {

constexpr QLKernelExtensionFolder kFolderItems[] = {
    QLKernelExtensionFolder::LibraryExtensions, QLKernelExtensionFolder::SystemLibraryExtensions,
    QLKernelExtensionFolder::AskMeEveryTime, QLKernelExtensionFolder::UseSmartTable};

}  // namespace

QLMainEZInstallerPreferenceViewController::QLMainEZInstallerPreferenceViewController(QWidget* parent)
    : QLMainAbstractViewController(parent) {
  setObjectName(QLatin1String(kQLSBIDMainEZInstallerPreference));
  setProperty("title", QLatin1String(kQLSBTitleIDMainEZInstallerPreference));
  imageButton->hide();
  mainTitle->hide();
  pathField->hide();
  outletFieldUsage = new QLabel(this);
  outletFieldUsage->setObjectName(QStringLiteral("outletFieldUsage"));
  outletFieldUsage->setWordWrap(true);
  outletBoxDefaultPreference = new QGroupBox(this);
  outletFieldInstallKexts = new QLabel(outletBoxDefaultPreference);
  outletButtonPopUpSelectInstallationFolder = new QComboBox(outletBoxDefaultPreference);
  outletButtonEditDefaultTable = new QPushButton(outletBoxDefaultPreference);
  outletBoxDefaultAppearance = new QGroupBox(this);
  outletButtonPopUpSelectDefaultAppearance = new QComboBox(outletBoxDefaultAppearance);
  outletBoxTargetVolume = new QGroupBox(this);
  outletFieldTargetVolume = new QLineEdit(outletBoxTargetVolume);
  outletFieldTargetVolume->setReadOnly(true);
  outletButtonSelectTargetVolume = new QPushButton(outletBoxTargetVolume);
  outletFieldTargetVolumeDescription = new QLabel(outletBoxTargetVolume);
  outletFieldTargetVolumeDescription->setWordWrap(true);

  auto* folder = new QHBoxLayout(outletBoxDefaultPreference);
  folder->addWidget(outletFieldInstallKexts);
  folder->addWidget(outletButtonPopUpSelectInstallationFolder, 1);
  folder->addWidget(outletButtonEditDefaultTable);
  auto* appearance = new QHBoxLayout(outletBoxDefaultAppearance);
  appearance->addWidget(outletButtonPopUpSelectDefaultAppearance);
  appearance->addStretch();
  auto* volume = new QGridLayout(outletBoxTargetVolume);
  volume->addWidget(outletFieldTargetVolume, 0, 0);
  volume->addWidget(outletButtonSelectTargetVolume, 0, 1);
  volume->addWidget(outletFieldTargetVolumeDescription, 1, 0, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(outletFieldUsage);
  layout->addWidget(outletBoxDefaultPreference);
  layout->addWidget(outletBoxDefaultAppearance);
  layout->addWidget(outletBoxTargetVolume);
  layout->addWidget(circularIndicator);
  setMinimumWidth(520);

  connect(outletButtonPopUpSelectInstallationFolder, &QComboBox::activated, this,
          &QLMainEZInstallerPreferenceViewController::actionButtonSelectInstallationFolder);
  connect(outletButtonPopUpSelectDefaultAppearance, &QComboBox::activated, this,
          &QLMainEZInstallerPreferenceViewController::actionButtonSelectDefaultAppearance);
  connect(outletButtonEditDefaultTable, &QPushButton::clicked, this,
          &QLMainEZInstallerPreferenceViewController::actionButtonEditDefaultTable);
  connect(outletButtonSelectTargetVolume, &QPushButton::clicked, this,
          &QLMainEZInstallerPreferenceViewController::actionButtonSelectTargetVolume);
}

void QLMainEZInstallerPreferenceViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  outletFieldUsage->setText(QLLocalizedString("kQLMainEZInstallerPreferenceVCUsage"));
  outletBoxDefaultPreference->setTitle(
      QLLocalizedString("kQLMainEZInstallerPreferenceVCDefaultInstallationPreference"));
  outletBoxDefaultAppearance->setTitle(QLLocalizedString("kQLMainEZInstallerPreferenceVCDefaultAppearance"));
  outletFieldInstallKexts->setText(QLLocalizedString("kQLMainEZInstallerPreferenceVCInstallKextsTo"));
  outletButtonEditDefaultTable->setText(QLLocalizedString("kQLMainEZInstallerPreferenceVCEdit"));
  outletBoxTargetVolume->setTitle(QLLocalizedString("kQLMainEZInstallerPreferenceVCTargetVolume"));
  outletButtonSelectTargetVolume->setText(QLLocalizedString("kQLMainEZInstallerPreferenceVCSelectTargetVolume"));

  QLEZInstallerPreferences& preferences = QLEZInstallerPreferences::shared();
  outletButtonPopUpSelectInstallationFolder->addItems(
      {QStringLiteral("/Library/Extensions/"), QStringLiteral("/System/Library/Extensions/"),
       QLLocalizedString("kQLMainEZInstallerPreferenceVCAskMeEveryTime"),
       QLLocalizedString("kQLMainEZInstallerPreferenceVCUseTheDefaultSmartTable")});
  outletButtonPopUpSelectInstallationFolder->setCurrentIndex(-1);
  if (const auto stored = preferences.installationFolder())
    for (int item = 0; item < 4; ++item)
      if (kFolderItems[item] == *stored) outletButtonPopUpSelectInstallationFolder->setCurrentIndex(item);
  outletButtonPopUpSelectDefaultAppearance->addItems({QLLocalizedString("kQLMainEZInstallerAppearanceModeLightMode"),
                                                      QLLocalizedString("kQLMainEZInstallerAppearanceModeDarkMode")});
  outletButtonPopUpSelectDefaultAppearance->setCurrentIndex(
      preferences.appearanceMode() == QLMainEZInstallerAppearanceMode::DarkMode ? 1 : 0);
  showTargetVolume();
}

void QLMainEZInstallerPreferenceViewController::actionButtonSelectInstallationFolder() {
  const int item = outletButtonPopUpSelectInstallationFolder->currentIndex();
  if (item < 0 || item > 3) {
    std::printf(
        "QLMainEZInstallerPreferenceVC::actionButtonSelectInstallationFolder: You should never reach at here.\n");
    std::abort();
  }
  QLKernelExtensionsManager::shared().installationFolder = kFolderItems[item];
  QLEZInstallerPreferences::shared().setInstallationFolder(kFolderItems[item]);
}

void QLMainEZInstallerPreferenceViewController::actionButtonSelectDefaultAppearance() {
  const int item = outletButtonPopUpSelectDefaultAppearance->currentIndex();
  if (item < 0 || item > 1) {
    std::printf(
        "QLMainEZInstallerPreferenceVC::actionButtonSelectDefaultAppearance: You should never reach at here.\n");
    std::abort();
  }
  QLEZInstallerPreferences::shared().setAppearanceMode(item == 0 ? QLMainEZInstallerAppearanceMode::LightMode
                                                                 : QLMainEZInstallerAppearanceMode::DarkMode);
}

void QLMainEZInstallerPreferenceViewController::actionButtonEditDefaultTable() {
  // The user's edits survive upgrades while the table's "Version" does not sort below the
  // built-in one.
  const QString path = QString::fromStdString(QLSmartTableManager::shared().localTablePath());
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainEZInstallerAnErrorOccured"),
                                  QLLocalizedString("kQLMainEZInstallerPreferenceVCUnableToOpenTable"));
}

void QLMainEZInstallerPreferenceViewController::actionButtonSelectTargetVolume() {
  QLMainAbstractMaintenanceViewController::openVolumeChooser(
      this, [this](const QString& path) { chooseTargetVolumeAtPath(path); });
}

bool QLMainEZInstallerPreferenceViewController::chooseTargetVolumeAtPath(const QString& path) {
  // The main application's rules: a macOS system that is not a recovery system.
  const auto volume = QLMainAbstractMaintenanceViewController::validTargetVolumeAtPath(this, path);
  if (!volume) return false;
  QLEZInstallerPreferences::shared().setTargetVolumePath(volume->mountPoint);
  showTargetVolume();
  emit targetVolumeChosen();
  return true;
}

void QLMainEZInstallerPreferenceViewController::showTargetVolume() {
  const auto stored = QLEZInstallerPreferences::shared().targetVolumePath();
  const auto volume = resolveTargetVolume(stored);
  if (volume) {
    outletFieldTargetVolume->setText(QString::fromStdString(volume->mountPoint) + QStringLiteral("  (") +
                                     QString::fromStdString(volume->osVersion.getOSVersionString()) + QLatin1Char(')'));
  } else {
    outletFieldTargetVolume->setText(QLLocalizedString("kQLMainEZInstallerPreferenceVCNoTargetVolume"));
  }
  outletFieldTargetVolumeDescription->setText(
      volume && volume->mountPoint == "/" ? QLLocalizedString("kQLMainEZInstallerPreferenceVCRunningSystemIsUsed")
                                          : QLLocalizedString("kQLMainEZInstallerPreferenceVCTargetVolumeDescription"));
}

}  // namespace tarnix::ezinstaller
