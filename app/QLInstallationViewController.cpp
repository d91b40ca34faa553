#include "app/QLInstallationViewController.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include "app/QLEZOverlay.h"
#include "app/QLKextTableModel.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "model/QLKernelExtensionsManager.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {
namespace {

constexpr const char* kDidConnectToHelper = "local.quillon.xpc.manager.didConnectToHelper";
constexpr const char* kDidReceiveHelperContext = "local.quillon.xpc.manager.didReceiveHelperContext";
constexpr int kSLERow = 0;
constexpr int kLERow = 1;
constexpr int kExtraRow = 2;

QLKernelExtensionsManager& kexts() { return QLKernelExtensionsManager::shared(); }

QString statusText(const char* key) {
  return QLLocalizedString("kQLMainAbstractMaintenanceVCStatus", "Status: ") + QLLocalizedString(key);
}

QString renderedNames(const std::optional<std::vector<QLKernelExtension>>& list) {
  QStringList names;
  if (list)
    for (const auto& kext : *list) names << QString::fromStdString(kext.name());
  return names.join(QLatin1Char(' '));
}

QString expandedHome(const std::string& directory) {
  QString path = QString::fromStdString(directory);
  if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) path.replace(0, 1, QDir::homePath());
  return path;
}

// Kext bundles are folders here: the chooser picks folders, several at once, and only those
// named ".kext" are taken. A single folder that is no kext, typed or picked, is opened
// instead of closing the chooser with nothing added.
class QLKextChooser final : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    const QStringList chosen = selectedFiles();
    if (chosen.size() == 1 && !chosen.first().endsWith(QLatin1String(".kext"), Qt::CaseInsensitive) &&
        QFileInfo(chosen.first()).isDir()) {
      setDirectory(chosen.first());
      if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->clear();
      return;
    }
    QFileDialog::accept();
  }
};

}  // namespace

QString QLInstallationViewController::failureText(const std::optional<std::vector<QLKernelExtension>>& backupFailed,
                                                  const std::optional<std::vector<QLKernelExtension>>& installFailed) {
  QString text;
  const QString backup = renderedNames(backupFailed);
  const QString install = renderedNames(installFailed);
  if (!backup.isEmpty()) text += QLLocalizedString("kQLInstallationVCFailedToBackupKexts") + backup + QLatin1Char('\n');
  if (!install.isEmpty()) text += QLLocalizedString("kQLInstallationVCFailedToInstallKexts") + install;
  return text;
}

QLInstallationViewController::QLInstallationViewController(QWidget* parent)
    : QLMainAbstractMaintenanceViewController(parent) {
  setObjectName(QLatin1String(kIdentifier));

  boxInstallKexts = new QGroupBox(this);
  outletFieldSelectKexts = new QLabel(boxInstallKexts);
  outletButtonClear = new QPushButton(boxInstallKexts);
  outletButtonSelect = new QPushButton(boxInstallKexts);
  tableViewKexts = new QTableView(boxInstallKexts);
  tableViewKexts->setObjectName(QStringLiteral("tableViewKexts"));
  model_ = new QLKextTableModel(kexts(), this);
  tableViewKexts->setModel(model_);
  tableViewKexts->verticalHeader()->hide();
  tableViewKexts->setSelectionBehavior(QAbstractItemView::SelectRows);
  tableViewKexts->setWordWrap(false);
  tableViewKexts->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tableViewKexts->horizontalHeader()->setSectionResizeMode(QLKextTableModel::QLIDKextPath, QHeaderView::Stretch);
  tableViewKexts->setDragDropMode(QAbstractItemView::DropOnly);
  tableViewKexts->setDefaultDropAction(Qt::CopyAction);
  tableViewKexts->setDropIndicatorShown(false);
  tableViewKexts->setMinimumHeight(160);
  // A white table at alpha 0.9 over a transparent scroll area.
  QPalette tablePalette = tableViewKexts->palette();
  tablePalette.setColor(QPalette::Base, QColor(255, 255, 255, 230));
  tableViewKexts->setPalette(tablePalette);
  tableViewKexts->viewport()->setAutoFillBackground(true);
  tableViewKexts->setFrameShape(QFrame::NoFrame);
  outletActionRemoveKexts = new QAction(tableViewKexts);
  outletActionRemoveKexts->setObjectName(QStringLiteral("outletActionRemoveKexts"));
  outletActionRemoveKexts->setShortcut(QKeySequence::Delete);
  outletActionRemoveKexts->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  tableViewKexts->addAction(outletActionRemoveKexts);
  tableViewKexts->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(outletActionRemoveKexts, &QAction::triggered, this, &QLInstallationViewController::removeSelectedKexts);

  auto* selectRow = new QHBoxLayout;
  selectRow->addWidget(outletFieldSelectKexts, 1);
  selectRow->addWidget(outletButtonClear);
  selectRow->addWidget(outletButtonSelect);
  auto* install = new QVBoxLayout(boxInstallKexts);
  install->addLayout(selectRow);
  install->addWidget(tableViewKexts, 1);
  QSizePolicy keepSpace = boxInstallKexts->sizePolicy();
  keepSpace.setRetainSizeWhenHidden(true);
  boxInstallKexts->setSizePolicy(keepSpace);

  boxPreference = new QGroupBox(this);
  outletButtonBackupKexts = new QCheckBox(boxPreference);
  outletButtonBackupKexts->setChecked(true);
  matrixView_ = new QWidget(boxPreference);
  matrixView_->setObjectName(QStringLiteral("outletMatrixInstallKexts"));
  outletMatrixInstallKexts = new QButtonGroup(this);
  auto* rows = new QVBoxLayout(matrixView_);
  rows->setContentsMargins(0, 0, 0, 0);
  for (int row = kSLERow; row <= kExtraRow; ++row) {
    auto* button = new QRadioButton(matrixView_);
    outletMatrixInstallKexts->addButton(button, row);
    rows->addWidget(button);
  }
  auto* preference = new QHBoxLayout(boxPreference);
  preference->addWidget(outletButtonBackupKexts, 0, Qt::AlignTop);
  preference->addStretch();
  preference->addWidget(matrixView_);

  // The EZ overlay lies over the kext box.
  auto* overlay = new QLEZOverlay(this);
  ezOverlay_ = overlay;
  outletEZView = overlay;
  outletEZBackgroundBox = overlay->backgroundBox();
  outletEZKextImageView = overlay->kextImageView();
  outletEZCircularIndicator = overlay->circularIndicator();
  outletEZStatusField = overlay->statusField();
  ezTimer = overlay->animationTimer();

  auto* area = new QGridLayout;
  area->addWidget(boxInstallKexts, 0, 0);
  area->addWidget(outletEZView, 0, 0);
  outletEZView->raise();
  contentLayout()->addLayout(area, 1);
  contentLayout()->addWidget(boxPreference);
  setMinimumWidth(640);

  connect(outletButtonClear, &QPushButton::clicked, this, &QLInstallationViewController::clearKexts);
  connect(outletButtonSelect, &QPushButton::clicked, this, &QLInstallationViewController::selectKexts);
  connect(outletMatrixInstallKexts, &QButtonGroup::idClicked, this,
          &QLInstallationViewController::selectInstallationFolder);
}

QRadioButton* QLInstallationViewController::matrixRow(int row) const {
  return qobject_cast<QRadioButton*>(outletMatrixInstallKexts->button(row));
}

void QLInstallationViewController::renderLocalizedOutlets() {
  QLMainAbstractMaintenanceViewController::renderLocalizedOutlets();
  boxInstallKexts->setTitle(QLLocalizedString("kQLInstallationVCInstallKexts"));
  outletFieldSelectKexts->setText(QLLocalizedString("kQLInstallationVCSelectKexts"));
  outletButtonClear->setText(QLLocalizedString("kQLInstallationVCClear"));
  outletButtonSelect->setText(QLLocalizedString("kQLInstallationVCSelect"));
  outletActionRemoveKexts->setText(QLLocalizedString("kQLInstallationVCRemove"));
  boxPreference->setTitle(QLLocalizedString("kQLInstallationVCPreference"));
  outletButtonBackupKexts->setText(QLLocalizedString("kQLInstallationVCBackupKexts"));
  matrixRow(kSLERow)->setText(QLLocalizedString("kQLInstallationVCInstallKexts2SLE"));
  matrixRow(kLERow)->setText(QLLocalizedString("kQLInstallationVCInstallKexts2LE"));
  matrixRow(kExtraRow)->setText(QLLocalizedString("kQLInstallationVCInstallKexts2EE"));
}

void QLInstallationViewController::viewDidLoad() {
  delegate = this;
  QLMainAbstractMaintenanceViewController::viewDidLoad();
  outletEZBackgroundBox->setFillColor(Qt::transparent);
  auto& center = QLNotificationCenter::defaultCenter();
  center.observe(this, QLatin1String(kDidConnectToHelper), [this](const QVariant&) { didConnectToHelper(); });
  center.observe(this, QLatin1String(kQLNotificationDidSelectAValidOSVolume),
                 [this](const QVariant& extra) { updateExtraCellStatus(extra); });
  center.observe(this, QLatin1String(kQLNotificationEZDidDragOperation),
                 [this](const QVariant& dropped) { prepareEZInstallation(dropped); });
  center.observe(this, QLatin1String(kQLNotificationDidChangeEZInstallationModeStatus),
                 [this](const QVariant&) { renderEZView(); });
  center.observe(this, QLatin1String(kDidReceiveHelperContext),
                 [this](const QVariant& context) { updateEZProgress(context); });

  // The list is shared by every instance of the pane, the folder too: the matrix's first
  // choice is also the manager's, so what is shown is where the kexts go.
  matrixRow(kLERow)->setChecked(true);
  kexts().installationFolder = QLKernelExtensionFolder::LibraryExtensions;
  updateExtraCellStatus(targetVolume && targetVolume->hasExtraFolder());
  tableViewKexts->setAcceptDrops(true);
  outletEZView->setAcceptDrops(true);
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  ezOverlay_->showIdleLook();
  renderEZView();
}

// Every call asks the application manager for the current proxy, so there is nothing to keep.
void QLInstallationViewController::didConnectToHelper() {}

void QLInstallationViewController::updateExtraCellStatus(const QVariant& hasExtraFolder) {
  const bool enabled = hasExtraFolder.toBool();
  matrixRow(kExtraRow)->setEnabled(enabled);
  // A folder the volume lacks must not stay chosen behind a disabled row.
  if (!enabled && matrixRow(kExtraRow)->isChecked()) {
    matrixRow(kLERow)->setChecked(true);
    selectInstallationFolder(kLERow);
  }
}

void QLInstallationViewController::selectInstallationFolder(int row) {
  switch (row) {
    case kSLERow: kexts().installationFolder = QLKernelExtensionFolder::SystemLibraryExtensions; return;
    case kLERow: kexts().installationFolder = QLKernelExtensionFolder::LibraryExtensions; return;
    case kExtraRow: kexts().installationFolder = QLKernelExtensionFolder::ExtraExtensions; return;
    default:
      std::printf("QLInstallationVC::selectInstallationFolder: You should never reach at here.\n");
      std::fflush(stdout);
      std::abort();
  }
}

// Without a volume nothing can be installed: the user hears so at once, and the kexts wait
// for the volume rather than being dropped again.
void QLInstallationViewController::keepUntilAVolumeIsChosen(const QStringList& paths) {
  for (const QString& path : paths)
    if (!waitingForVolume_.contains(path)) waitingForVolume_ << path;
  ezOverlay_->stopAnimation();
  outletEZStatusField->setText(QLLocalizedString("kQLInstallationVCEZKextsWaitForAVolume"));
  QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                QLLocalizedString("kQLInstallationVCEZNoTargetVolume"));
}

void QLInstallationViewController::targetVolumeDidChange() {
  if (waitingForVolume_.isEmpty() || !enableEZMode || running_) return;
  const QStringList waiting = std::exchange(waitingForVolume_, {});
  prepareEZInstallation(waiting);
}

void QLInstallationViewController::reset() {
  QLMainAbstractMaintenanceViewController::reset();
  updateExtraCellStatus(targetVolume && targetVolume->hasExtraFolder());
}

void QLInstallationViewController::selectKexts() {
  QLInterfaceHelpers::start(circularIndicator);
  const QString start = expandedHome(QLAppManager::shared().preferences().openPanelDirectory());
  auto* panel = new QLKextChooser(window(), QLLocalizedString("kQLInstallationVCChooseKextsTitle"), start);
  panel->setObjectName(QStringLiteral("kextChooser"));
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->setOption(QFileDialog::DontUseNativeDialog);
  panel->setFileMode(QFileDialog::Directory);
  panel->setNameFilter(QStringLiteral("*.kext"));
  for (auto* view : panel->findChildren<QListView*>()) view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (auto* view : panel->findChildren<QTreeView*>()) view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  panel->setLabelText(QFileDialog::Accept, QLLocalizedString("kQLInstallationVCChoose"));
  panel->setWindowModality(Qt::WindowModal);
  QPointer<QLInstallationViewController> self(this);
  connect(panel, &QFileDialog::finished, panel, [self, panel](int outcome) {
    if (!self) return;
    if (outcome == QDialog::Accepted) {
      std::vector<std::string> paths;
      for (const QString& file : panel->selectedFiles()) paths.push_back(QLKextTableModel::kextPath(file));
      kexts().addKextsFromPaths(paths);
      // The next chooser opens where this one was left.
      QLAppManager::shared().preferences().setNavLastRootDirectory(panel->directory().absolutePath().toStdString());
    }
    self->model_->reloadData();
    QLInterfaceHelpers::stop(self->circularIndicator);
  });
  panel->open();
}

void QLInstallationViewController::clearKexts() {
  kexts().kextsTBI.clear();
  model_->reloadData();
}

void QLInstallationViewController::removeSelectedKexts() {
  if (running_) return;
  QList<int> rows;
  for (const QModelIndex& index : tableViewKexts->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end(), std::greater<>());
  for (int row : rows) model_->removeRows(row, 1);
}

void QLInstallationViewController::lockInstallationControls() {
  tableViewKexts->setAcceptDrops(false);
  outletEZView->setAcceptDrops(false);
  outletActionRemoveKexts->setEnabled(false);
  for (QWidget* control : {static_cast<QWidget*>(outletButtonClear), static_cast<QWidget*>(outletButtonSelect),
                           static_cast<QWidget*>(outletButtonBackupKexts), matrixView_,
                           static_cast<QWidget*>(executeButton), static_cast<QWidget*>(resetButton),
                           static_cast<QWidget*>(imageButton)})
    control->setEnabled(false);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidExecute), false);
}

void QLInstallationViewController::unlockInstallationControls() {
  tableViewKexts->setAcceptDrops(true);
  outletEZView->setAcceptDrops(true);
  outletActionRemoveKexts->setEnabled(true);
  for (QWidget* control : {static_cast<QWidget*>(outletButtonClear), static_cast<QWidget*>(outletButtonBackupKexts),
                           matrixView_, static_cast<QWidget*>(resetButton), static_cast<QWidget*>(imageButton)})
    control->setEnabled(true);
  outletButtonSelect->setEnabled(!enableEZMode);
  executeButton->setEnabled(!enableEZMode);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidExecute), true);
  if (renderPending_ && !running_) {
    renderPending_ = false;
    renderEZView();
  }
}

void QLInstallationViewController::execute() {
  if (running_) return;
  auto& manager = kexts();
  if (!canCallHelper()) return cancelRun();
  const bool backup = outletButtonBackupKexts->isChecked();
  QString destination;
  if (backup) {
    // The stored folder URL is decoded whole: a name with an escape other than "%20" is
    // still the folder the user chose.
    const auto url = QLAppManager::shared().preferences().preferredKextsBackupFolderURL();
    if (url) destination = QUrl(QString::fromStdString(*url)).toLocalFile();
    if (destination.isEmpty()) {
      QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                    QLLocalizedString("kQLInstallationVCNoBackupFolder"));
      return cancelRun();
    }
    // The helper puts the dated folder right after this text.
    if (!destination.endsWith(QLatin1Char('/'))) destination += QLatin1Char('/');
  }

  lockInstallationControls();
  running_ = true;
  backupFailed.reset();
  installFailed.reset();
  repairPermissionsResults.reset();
  backupRequested_ = backup;
  backupFolder_.clear();
  nothingToBackUp_ = false;
  if (!enableEZMode) QLInterfaceHelpers::start(circularIndicator);
  if (!backup) return callInstall();

  manager.kextsTBB = manager.kextsToBackUp(targetVolume->mountPoint);
  nothingToBackUp_ = manager.kextsTBB.empty();
  // The helper names the dated folder it makes after its own clock: the folder that is new
  // after the reply is the one it wrote.
  backupDestination_ = destination;
  backupEntriesBefore_ = QDir(destination).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  willBackupKexts();
  proxy()->backupWithKernelExtensions(
      manager.kextsTBB, std::string(rawValue(manager.installationFolder)), *targetVolume, destination.toStdString(),
      replyOnMain<std::vector<QLKernelExtension>>(
          [this](std::vector<QLKernelExtension> failed) { didBackupKexts(std::move(failed)); }));
}

void QLInstallationViewController::cancelRun() {
  running_ = false;
  QLInterfaceHelpers::stop(circularIndicator);
  if (!enableEZMode) return;
  // Back to the waiting overlay; the dropped kexts are not kept.
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  ezOverlay_->showIdleLook();
  renderEZView();
}

void QLInstallationViewController::didRefuse(const QLXPCHelperRefusal& refusal) {
  // Whichever step was refused, the rest of the run is not attempted.
  cancelRun();
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  unlockInstallationControls();
  showRefusal(refusal);
}

void QLInstallationViewController::callInstall() {
  auto& manager = kexts();
  willInstallKexts();
  if (!proxy()) return didInstallKexts(manager.kextsTBI);  // the helper went away: nothing was installed
  proxy()->installWithKernelExtensions(
      manager.kextsTBI, std::string(rawValue(manager.installationFolder)), *targetVolume,
      replyOnMain<std::vector<QLKernelExtension>>(
          [this](std::vector<QLKernelExtension> failed) { didInstallKexts(std::move(failed)); }));
}

void QLInstallationViewController::showStepStatus(const char* key) {
  if (enableEZMode) outletEZStatusField->setText(statusText(key));
  else updateStatusWithLocalizedString(QLLocalizedString(key));
}

void QLInstallationViewController::willBackupKexts() { showStepStatus("kQLMainAbstractBackingUpKexts"); }

void QLInstallationViewController::didBackupKexts(std::vector<QLKernelExtension> failed) {
  backupFailed = std::move(failed);
  QStringList added = QDir(backupDestination_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& before : backupEntriesBefore_) added.removeAll(before);
  if (added.size() == 1) backupFolder_ = backupDestination_ + added.first();
  callInstall();
}

QString QLInstallationViewController::backupText() const {
  if (!backupRequested_) return {};
  if (!backupFolder_.isEmpty()) return QLLocalizedString("kQLInstallationVCBackedUpTo").arg(backupFolder_);
  // None of the kexts was in the folder yet: there was nothing to back up.
  if (nothingToBackUp_) return QLLocalizedString("kQLInstallationVCNothingToBackUp");
  return {};
}

void QLInstallationViewController::willInstallKexts() { showStepStatus("kQLMainAbstractInstallingKexts"); }

void QLInstallationViewController::didInstallKexts(std::vector<QLKernelExtension> failed) {
  installFailed = std::move(failed);
  if (!enableEZMode) return finishNormalMode();
  if (!proxy()) {
    repairPermissionsResults.emplace();
    return finishEZMode();
  }
  callRepairDiskPermissions();
}

void QLInstallationViewController::willRepairDiskPermissions() {
  showStepStatus("kQLMainAbstractRepairingPermissions");
  QLInterfaceHelpers::setDeterminate(outletEZCircularIndicator, 0);
}

void QLInstallationViewController::didRepairDiskPermissionsWithResults(
    std::vector<QLRepairPermissionsRepresentableResult> results) {
  repairPermissionsResults = std::move(results);
  if (!proxy()) return finishEZMode();
  callRebuidCaches();
}

void QLInstallationViewController::willRebuildCaches() {
  showStepStatus(rebuildingCachesKey());
  QLInterfaceHelpers::start(outletEZCircularIndicator);
}

void QLInstallationViewController::didRebuildCaches() { finishEZMode(); }

void QLInstallationViewController::updateEZProgress(const QVariant& context) {
  if (!enableEZMode) return;
  const QVariantMap values = context.toMap();
  if (!values.contains(QStringLiteral("progress"))) return;
  QLInterfaceHelpers::setDeterminate(outletEZCircularIndicator, values.value(QStringLiteral("progress")).toDouble());
}

void QLInstallationViewController::finishNormalMode() {
  QString text = QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished");
  if (const QString backup = backupText(); !backup.isEmpty()) text += QLatin1Char(' ') + backup;
  if (const QString failures = failureText(backupFailed, installFailed); !failures.isEmpty())
    text += QStringLiteral("\n\n") + failures;
  QLInterfaceHelpers::stop(circularIndicator);
  QLInterfaceHelpers::showMessage(this, QLLocalizedString("kQLMainAbstractVCFinished"), text);
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  running_ = false;
  unlockInstallationControls();
}

void QLInstallationViewController::finishEZMode() {
  auto& manager = kexts();
  manager.kextsTBI.clear();
  manager.kextsTBB.clear();
  const QString failures = failureText(backupFailed, installFailed);
  QString description = failures;
  if (failures.isEmpty())
    description = QLLocalizedString(QLAppManager::helperRebuildsCachesNow()
                                        ? "kQLInstallationVCSelectedKextsInstalledOperationsAllFinished"
                                        : "kQLInstallationVCSelectedKextsInstalledCachesMarkedForRebuild");
  if (const QString backup = backupText(); !backup.isEmpty()) description += QLatin1Char('\n') + backup;
  result = std::make_shared<QLDetailedRepresentableResult>(
      QStringLiteral("QLUIMain"), QLLocalizedString("kQLMainAbstractVCFinished"), withJournalLocation(description),
      repairPermissionsResults.value_or(std::vector<QLRepairPermissionsRepresentableResult>{}));
  model_->reloadData();
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  ezOverlay_->showIdleLook();
  QTimer::singleShot(kEZPreparingPauseMs, this, [this] {
    if (enableEZMode && !ezTimer->isActive()) ezTimer->start();
  });
  performSegue(QStringLiteral("QLSBSegueIDInstallation2DetailedResults"));
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  running_ = false;
  unlockInstallationControls();
}

void QLInstallationViewController::renderEZView() {
  // Switched while an installation runs: the chain still needs its list and its mode.
  if (running_) {
    renderPending_ = true;
    return;
  }
  ezOverlay_->stopAnimation();
  waitingForVolume_.clear();
  enableEZMode = QLAppManager::shared().preferences().enableEZInstallationMode();
  outletEZView->setVisible(enableEZMode);
  boxInstallKexts->setVisible(!enableEZMode);
  outletEZKextImageView->setVisible(enableEZMode);
  outletEZStatusField->setVisible(enableEZMode);
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  executeButton->setEnabled(!enableEZMode);
  outletButtonSelect->setEnabled(!enableEZMode);
  if (!enableEZMode) return;
  outletEZStatusField->setText(QLLocalizedString("kQLInstallationVCEZModeEnabledSuccessfully"));
  if (!ezTimer->isActive()) ezTimer->start();
  QTimer::singleShot(0, this, [this] {
    kexts().kextsTBI.clear();
    model_->reloadData();
  });
}

void QLInstallationViewController::performEZAnimation() { ezOverlay_->performAnimation(); }

void QLInstallationViewController::prepareEZInstallation(const QVariant& dropped) {
  // Drops are refused while a chain runs; those made during the pause join it.
  if (running_ && !preparing_) return;
  if (!targetVolume) return keepUntilAVolumeIsChosen(dropped.toStringList());
  pendingDrops_ += dropped.toStringList();
  if (preparing_) return;
  preparing_ = true;
  running_ = true;
  ezOverlay_->stopAnimation();
  ezOverlay_->showPreparingLook();
  QTimer::singleShot(kEZPreparingPauseMs, this, [this] {
    ezOverlay_->showRunningLook();
    outletEZStatusField->setText(statusText("kQLInstallationVCPreparingKexts"));

    std::vector<std::string> paths;
    for (const QString& path : pendingDrops_) paths.push_back(QLKextTableModel::kextPath(path));
    pendingDrops_.clear();
    kexts().addKextsFromPaths(paths);
    model_->reloadData();
    preparing_ = false;
    running_ = false;
    execute();
  });
}

}  // namespace tarnix
