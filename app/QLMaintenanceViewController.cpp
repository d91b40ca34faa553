#include "app/QLMaintenanceViewController.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "app/core/QLLocalization.h"
#include "model/QLKernelExtensionFolder.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {
namespace {

QLabel* descriptionLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
  label->setPalette(palette);
  return label;
}

}  // namespace

QLMaintenanceViewController::QLMaintenanceViewController(QWidget* parent)
    : QLMainAbstractMaintenanceViewController(parent) {
  setObjectName(QLatin1String(kIdentifier));
  boxSelectOperations = new QGroupBox(this);
  boxRepairPermissions = new QGroupBox(boxSelectOperations);
  boxRebuildCaches = new QGroupBox(boxSelectOperations);
  outletButtonRepairExtraFolder = new QCheckBox(boxRepairPermissions);
  outletButtonRepairLEFolder = new QCheckBox(boxRepairPermissions);
  outletButtonRepairSLEFolder = new QCheckBox(boxRepairPermissions);
  outletButtonRepairDiskPermissions = new QCheckBox(boxRepairPermissions);
  outletButtonRebuildCaches = new QCheckBox(boxRebuildCaches);
  outletFieldRepairExtraFolder = descriptionLabel(boxRepairPermissions);
  outletFieldRepairLEFolder = descriptionLabel(boxRepairPermissions);
  outletFieldRepairSLEFolder = descriptionLabel(boxRepairPermissions);
  outletFieldRepairDiskPermissions = descriptionLabel(boxRepairPermissions);

  auto* repair = new QGridLayout(boxRepairPermissions);
  const std::array<std::pair<QCheckBox*, QLabel*>, 4> rows{{
      {outletButtonRepairExtraFolder, outletFieldRepairExtraFolder},
      {outletButtonRepairLEFolder, outletFieldRepairLEFolder},
      {outletButtonRepairSLEFolder, outletFieldRepairSLEFolder},
      {outletButtonRepairDiskPermissions, outletFieldRepairDiskPermissions},
  }};
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    repair->addWidget(rows[static_cast<std::size_t>(row)].first, row, 0);
    repair->addWidget(rows[static_cast<std::size_t>(row)].second, row, 1);
  }
  repair->setColumnStretch(1, 1);
  auto* caches = new QVBoxLayout(boxRebuildCaches);
  caches->addWidget(outletButtonRebuildCaches);
  auto* operations = new QVBoxLayout(boxSelectOperations);
  operations->addWidget(boxRepairPermissions);
  operations->addWidget(boxRebuildCaches);
  contentLayout()->addWidget(boxSelectOperations);
  contentLayout()->addStretch();

  const std::array<std::pair<QCheckBox*, std::uint64_t>, 5> options{{
      {outletButtonRepairExtraFolder, QLMaintenanceOptionRepairExtraFolder},
      {outletButtonRepairLEFolder, QLMaintenanceOptionRepairLEFolder},
      {outletButtonRepairSLEFolder, QLMaintenanceOptionRepairSLEFolder},
      {outletButtonRepairDiskPermissions, QLMaintenanceOptionRepairDiskPermissions},
      {outletButtonRebuildCaches, QLMaintenanceOptionRebuildCaches},
  }};
  for (const auto& [box, option] : options)
    connect(box, &QCheckBox::toggled, this, [this, option = option](bool on) { setOption(option, on); });
}

void QLMaintenanceViewController::viewDidLoad() {
  delegate = this;
  QLMainAbstractMaintenanceViewController::viewDidLoad();
  applyInitialState();
}

void QLMaintenanceViewController::renderLocalizedOutlets() {
  QLMainAbstractMaintenanceViewController::renderLocalizedOutlets();
  boxSelectOperations->setTitle(QLLocalizedString("kQLMaintenanceVCSelectOperations"));
  boxRepairPermissions->setTitle(QLLocalizedString("kQLMaintenanceVCRepairPermissions"));
  boxRebuildCaches->setTitle(QLLocalizedString("kQLMaintenanceVCRebuildCachesBox"));
  outletButtonRepairExtraFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairExtraFolder"));
  outletButtonRepairLEFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairLEFolder"));
  outletButtonRepairSLEFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairSLEFolder"));
  outletButtonRepairDiskPermissions->setText(QLLocalizedString("kQLMaintenanceVCRepairDiskPermissions"));
  outletButtonRebuildCaches->setText(QLLocalizedString("kQLMaintenanceVCRebuildCaches"));
  outletFieldRepairExtraFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairExtraFolderDescription"));
  outletFieldRepairLEFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairLEFolderDescription"));
  outletFieldRepairSLEFolder->setText(QLLocalizedString("kQLMaintenanceVCRepairSLEFolderDescription"));
  outletFieldRepairDiskPermissions->setText(QLLocalizedString("kQLMaintenanceVCRepairDiskPermissionsDescription"));
}

void QLMaintenanceViewController::applyInitialState() {
  for (QCheckBox* folder : {outletButtonRepairExtraFolder, outletButtonRepairLEFolder, outletButtonRepairSLEFolder}) {
    folder->setChecked(false);
    folder->setEnabled(false);
  }
  outletButtonRepairDiskPermissions->setEnabled(true);
  outletButtonRebuildCaches->setEnabled(true);
  outletButtonRepairDiskPermissions->setChecked(true);
  outletButtonRebuildCaches->setChecked(true);
  maintenanceOptions |= QLMaintenanceOptionRepairDiskPermissions | QLMaintenanceOptionRebuildCaches;
}

void QLMaintenanceViewController::reset() {
  QLMainAbstractMaintenanceViewController::reset();
  applyInitialState();
}

void QLMaintenanceViewController::setOption(std::uint64_t option, bool on) {
  if (on)
    maintenanceOptions |= option;
  else
    maintenanceOptions &= ~option;
  if (option == QLMaintenanceOptionRepairDiskPermissions) setChoicesEnabled(executeButton->isEnabled());
}

// The folder boxes follow the disk-permission box: a whole-volume repair covers the folders.
void QLMaintenanceViewController::setChoicesEnabled(bool enabled) {
  const bool folders = enabled && !outletButtonRepairDiskPermissions->isChecked();
  outletButtonRepairLEFolder->setEnabled(folders);
  outletButtonRepairSLEFolder->setEnabled(folders);
  outletButtonRepairExtraFolder->setEnabled(folders && targetVolume && targetVolume->hasExtraFolder());
  outletButtonRepairDiskPermissions->setEnabled(enabled);
  outletButtonRebuildCaches->setEnabled(enabled);
}

// A volume without an Extra folder has nothing to repair there: the box is cleared, and the
// enabling rules run again for the new volume.
void QLMaintenanceViewController::targetVolumeDidChange() {
  if (!targetVolume || !targetVolume->hasExtraFolder()) outletButtonRepairExtraFolder->setChecked(false);
  setChoicesEnabled(executeButton->isEnabled());
}

void QLMaintenanceViewController::execute() {
  if (maintenanceOptions == 0) {
    QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                  QLLocalizedString("kQLMaintenanceVCNoOperationsSelected"));
    return;
  }
  if (!canCallHelper()) return;
  QLInterfaceHelpers::start(circularIndicator);
  constexpr std::uint64_t folders =
      QLMaintenanceOptionRepairExtraFolder | QLMaintenanceOptionRepairLEFolder | QLMaintenanceOptionRepairSLEFolder;
  lockControls();
  if (maintenanceOptions & QLMaintenanceOptionRepairDiskPermissions) {
    callRepairDiskPermissions();
  } else if (maintenanceOptions & folders) {
    repairFolders();
  } else {
    callRebuidCaches();
  }
}

void QLMaintenanceViewController::repairFolders() {
  willRepairFolders();
  const std::array<std::pair<std::uint64_t, QLKernelExtensionFolder>, 3> order{{
      {QLMaintenanceOptionRepairExtraFolder, QLKernelExtensionFolder::ExtraExtensions},
      {QLMaintenanceOptionRepairLEFolder, QLKernelExtensionFolder::LibraryExtensions},
      {QLMaintenanceOptionRepairSLEFolder, QLKernelExtensionFolder::SystemLibraryExtensions},
  }};
  std::vector<QLKernelExtensionFolder> selected;
  for (const auto& [option, folder] : order)
    if (maintenanceOptions & option) selected.push_back(folder);
  // Sent back to back; the helper runs each on its own queue, and only the last reply goes on.
  for (std::size_t i = 0; i < selected.size(); ++i) {
    const bool last = i + 1 == selected.size();
    proxy()->repairWithFolder(std::string(rawValue(selected[i])), *targetVolume, replyOnMain<bool>([this, last](bool) {
                                if (last) didRepairFolders();
                              }));
  }
}

void QLMaintenanceViewController::willRepairDiskPermissions() {
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractRepairingPermissions"));
  QLInterfaceHelpers::setDeterminate(circularIndicator, 0);
}

void QLMaintenanceViewController::didRepairDiskPermissionsWithResults(
    std::vector<QLRepairPermissionsRepresentableResult> results) {
  repairPermissionsResults = std::move(results);
  if (maintenanceOptions & QLMaintenanceOptionRebuildCaches) {
    callRebuidCaches();
    return;
  }
  finishWithResults(std::exchange(repairPermissionsResults, std::nullopt).value());
}

void QLMaintenanceViewController::willRebuildCaches() {
  QLInterfaceHelpers::start(circularIndicator);
  updateStatusWithLocalizedString(QLLocalizedString(rebuildingCachesKey()));
}

void QLMaintenanceViewController::didRebuildCaches() {
  if (repairPermissionsResults && !repairPermissionsResults->empty()) {
    // Moved, not copied: a whole system's results are many.
    finishWithResults(std::exchange(repairPermissionsResults, std::nullopt).value());
    return;
  }
  finishWithMessage();
}

void QLMaintenanceViewController::willRepairFolders() {
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractRepairingPermissions"));
}

void QLMaintenanceViewController::didRepairFolders() {
  if (maintenanceOptions & QLMaintenanceOptionRebuildCaches) {
    callRebuidCaches();
    return;
  }
  finishWithMessage();
}

void QLMaintenanceViewController::finishCommon() {
  QLInterfaceHelpers::stop(circularIndicator);
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  unlockControls();
}

// "Finished", and where the caches were only marked for rebuild, that they were.
QString QLMaintenanceViewController::finishedText() const {
  QString text = QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished");
  if ((maintenanceOptions & QLMaintenanceOptionRebuildCaches) && !QLAppManager::helperRebuildsCachesNow())
    text += QLatin1Char(' ') + QLLocalizedString("kQLMaintenanceVCCachesMarkedForRebuild");
  return text;
}

void QLMaintenanceViewController::finishWithResults(std::vector<QLRepairPermissionsRepresentableResult> results) {
  finishCommon();
  std::size_t fixed = 0, failed = 0;
  for (const auto& entry : results) {
    if (entry.attributeStatusString == "Fixed")
      ++fixed;
    else if (entry.attributeStatusString == "Failed")
      ++failed;
  }
  const QString counts =
      QLLocalizedString("kQLMaintenanceVCFixedAndFailed", "%1 items fixed, %2 failed.")
          .arg(QLocale().toString(static_cast<qulonglong>(fixed)), QLocale().toString(static_cast<qulonglong>(failed)));
  result = std::make_shared<QLDetailedRepresentableResult>(
      QStringLiteral("QLUIMain"), QLLocalizedString("kQLMainAbstractVCFinished"),
      withJournalLocation(finishedText() + QLatin1Char(' ') + counts), std::move(results));
  performSegue(QStringLiteral("QLSBSegueIDMaintenance2DetailedResults"));
}

void QLMaintenanceViewController::finishWithMessage() {
  finishCommon();
  QLInterfaceHelpers::showMessage(this, QLLocalizedString("kQLMainAbstractVCFinished"), finishedText());
}

}  // namespace tarnix
