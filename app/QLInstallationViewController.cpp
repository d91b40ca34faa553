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
constexpr int kSLERow = QLInstallationPresenter::kSLERow;
constexpr int kLERow = QLInstallationPresenter::kLERow;
constexpr int kExtraRow = QLInstallationPresenter::kExtraRow;

QLKernelExtensionsManager& kexts() { return QLKernelExtensionsManager::shared(); }

QString statusText(std::string_view key) {
  return QLLocalizedString("kQLMainAbstractMaintenanceVCStatus", "Status: ") + QLLocalizedString(key);
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

QString QLInstallationViewController::localized(const QLInstallationText& text) {
  QString out;
  for (const auto& piece : text.pieces) {
    if (piece.key.empty())
      out += QString::fromStdString(piece.text);
    else if (piece.text.empty())
      out += QLLocalizedString(piece.key);
    else
      out += QLLocalizedString(piece.key).arg(QString::fromStdString(piece.text));
  }
  return out;
}

QLInstallationViewController::QLInstallationViewController(QWidget* parent)
    : QLMainAbstractMaintenanceViewController(parent), presenter_(*this, kexts()) {
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
  kexts().installationFolder = QLInstallationPresenter::folderOfRow(row);
}

void QLInstallationViewController::targetVolumeDidChange() { presenter_.targetVolumeDidChange(); }

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
  if (presenter_.isInstalling()) return;
  QList<int> rows;
  for (const QModelIndex& index : tableViewKexts->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end(), std::greater<>());
  for (int row : rows) model_->removeRows(row, 1);
}

void QLInstallationViewController::lockInstallationControls() {
  tableViewKexts->setAcceptDrops(false);
  outletEZView->setAcceptDrops(false);
  outletActionRemoveKexts->setEnabled(false);
  for (QWidget* control :
       {static_cast<QWidget*>(outletButtonClear), static_cast<QWidget*>(outletButtonSelect),
        static_cast<QWidget*>(outletButtonBackupKexts), matrixView_, static_cast<QWidget*>(executeButton),
        static_cast<QWidget*>(resetButton), static_cast<QWidget*>(imageButton)})
    control->setEnabled(false);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidExecute), false);
}

void QLInstallationViewController::unlockInstallationControls(bool ezMode) {
  tableViewKexts->setAcceptDrops(true);
  outletEZView->setAcceptDrops(true);
  outletActionRemoveKexts->setEnabled(true);
  for (QWidget* control : {static_cast<QWidget*>(outletButtonClear), static_cast<QWidget*>(outletButtonBackupKexts),
                           matrixView_, static_cast<QWidget*>(resetButton), static_cast<QWidget*>(imageButton)})
    control->setEnabled(true);
  outletButtonSelect->setEnabled(!ezMode);
  executeButton->setEnabled(!ezMode);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidExecute), true);
}

void QLInstallationViewController::execute() { presenter_.execute(); }

bool QLInstallationViewController::canCallHelper() { return QLMainAbstractMaintenanceViewController::canCallHelper(); }

bool QLInstallationViewController::ezModePreference() const {
  return QLAppManager::shared().preferences().enableEZInstallationMode();
}

bool QLInstallationViewController::hasTargetVolume() const { return targetVolume.has_value(); }

std::string QLInstallationViewController::targetMountPoint() const {
  return targetVolume ? targetVolume->mountPoint : std::string();
}

bool QLInstallationViewController::helperConnected() const { return proxy() != nullptr; }

bool QLInstallationViewController::backupRequested() const { return outletButtonBackupKexts->isChecked(); }

std::string QLInstallationViewController::backupFolderPath() const {
  // The stored folder URL is decoded whole: a name with an escape other than "%20" is still
  // the folder the user chose.
  const auto url = QLAppManager::shared().preferences().preferredKextsBackupFolderURL();
  return url ? QUrl(QString::fromStdString(*url)).toLocalFile().toStdString() : std::string();
}

std::vector<std::string> QLInstallationViewController::foldersIn(const std::string& folder) const {
  std::vector<std::string> names;
  for (const QString& name : QDir(QString::fromStdString(folder)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    names.push_back(name.toStdString());
  return names;
}

bool QLInstallationViewController::helperRebuildsCachesNow() const { return QLAppManager::helperRebuildsCachesNow(); }

void QLInstallationViewController::backUp(const std::vector<QLKernelExtension>& kexts, QLKernelExtensionFolder folder,
                                          const std::string& destination) {
  proxy()->backupWithKernelExtensions(
      kexts, std::string(rawValue(folder)), *targetVolume, destination,
      replyOnMain<std::vector<QLKernelExtension>>(
          [this](std::vector<QLKernelExtension> failed) { didBackupKexts(std::move(failed)); }));
}

void QLInstallationViewController::install(const std::vector<QLKernelExtension>& kexts,
                                           QLKernelExtensionFolder folder) {
  proxy()->installWithKernelExtensions(
      kexts, std::string(rawValue(folder)), *targetVolume,
      replyOnMain<std::vector<QLKernelExtension>>(
          [this](std::vector<QLKernelExtension> failed) { didInstallKexts(std::move(failed)); }));
}

void QLInstallationViewController::repairDiskPermissions() { callRepairDiskPermissions(); }

void QLInstallationViewController::rebuildCaches() { callRebuidCaches(); }

void QLInstallationViewController::startProgress() { QLInterfaceHelpers::start(circularIndicator); }

void QLInstallationViewController::stopProgress() { QLInterfaceHelpers::stop(circularIndicator); }

void QLInstallationViewController::showStep(std::string_view key, bool ezMode) {
  if (ezMode)
    outletEZStatusField->setText(statusText(key));
  else
    updateStatusWithLocalizedString(QLLocalizedString(key));
}

void QLInstallationViewController::showReady() {
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
}

void QLInstallationViewController::showAlert(std::string_view key) {
  QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"), QLLocalizedString(key));
}

void QLInstallationViewController::reloadKexts() { model_->reloadData(); }

void QLInstallationViewController::showFinished(const QLInstallationText& text) {
  QLInterfaceHelpers::showMessage(this, QLLocalizedString("kQLMainAbstractVCFinished"), localized(text));
}

void QLInstallationViewController::presentResults(const QLInstallationText& description,
                                                  std::vector<QLRepairPermissionsRepresentableResult> results) {
  result = std::make_shared<QLDetailedRepresentableResult>(
      QStringLiteral("QLUIMain"), QLLocalizedString("kQLMainAbstractVCFinished"),
      withJournalLocation(localized(description)), std::move(results));
  model_->reloadData();
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  ezOverlay_->showIdleLook();
  QTimer::singleShot(kEZPreparingPauseMs, this, [this] {
    if (presenter_.enableEZMode && !ezTimer->isActive()) ezTimer->start();
  });
  performSegue(QStringLiteral("QLSBSegueIDInstallation2DetailedResults"));
}

void QLInstallationViewController::showEZMode(bool ezMode) {
  ezOverlay_->stopAnimation();
  outletEZView->setVisible(ezMode);
  boxInstallKexts->setVisible(!ezMode);
  outletEZKextImageView->setVisible(ezMode);
  outletEZStatusField->setVisible(ezMode);
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  executeButton->setEnabled(!ezMode);
  outletButtonSelect->setEnabled(!ezMode);
  if (!ezMode) return;
  outletEZStatusField->setText(QLLocalizedString("kQLInstallationVCEZModeEnabledSuccessfully"));
  if (!ezTimer->isActive()) ezTimer->start();
  QTimer::singleShot(0, this, [this] {
    kexts().kextsTBI.clear();
    model_->reloadData();
  });
}

void QLInstallationViewController::showEZIdle() {
  QLInterfaceHelpers::stop(outletEZCircularIndicator);
  ezOverlay_->showIdleLook();
}

void QLInstallationViewController::showEZPreparing() {
  ezOverlay_->stopAnimation();
  ezOverlay_->showPreparingLook();
}

void QLInstallationViewController::showEZRunning() {
  ezOverlay_->showRunningLook();
  outletEZStatusField->setText(statusText("kQLInstallationVCPreparingKexts"));
}

void QLInstallationViewController::showEZWaitingForAVolume() {
  ezOverlay_->stopAnimation();
  outletEZStatusField->setText(QLLocalizedString("kQLInstallationVCEZKextsWaitForAVolume"));
}

void QLInstallationViewController::afterPreparingPause(std::function<void()> task) {
  QTimer::singleShot(kEZPreparingPauseMs, this, std::move(task));
}

void QLInstallationViewController::didRefuse(const QLXPCHelperRefusal& refusal) {
  // Whichever step was refused, the rest of the run is not attempted.
  presenter_.didRefuse();
  showRefusal(refusal);
}

void QLInstallationViewController::willBackupKexts() {}

void QLInstallationViewController::didBackupKexts(std::vector<QLKernelExtension> failed) {
  presenter_.didBackupKexts(std::move(failed));
}

void QLInstallationViewController::willInstallKexts() {}

void QLInstallationViewController::didInstallKexts(std::vector<QLKernelExtension> failed) {
  presenter_.didInstallKexts(std::move(failed));
}

void QLInstallationViewController::willRepairDiskPermissions() {
  showStep("kQLMainAbstractRepairingPermissions", presenter_.enableEZMode);
  QLInterfaceHelpers::setDeterminate(outletEZCircularIndicator, 0);
}

void QLInstallationViewController::didRepairDiskPermissionsWithResults(
    std::vector<QLRepairPermissionsRepresentableResult> results) {
  presenter_.didRepairDiskPermissionsWithResults(std::move(results));
}

void QLInstallationViewController::willRebuildCaches() {
  showStep(rebuildingCachesKey(), presenter_.enableEZMode);
  QLInterfaceHelpers::start(outletEZCircularIndicator);
}

void QLInstallationViewController::didRebuildCaches() { presenter_.didRebuildCaches(); }

void QLInstallationViewController::updateEZProgress(const QVariant& context) {
  if (!presenter_.enableEZMode) return;
  const QVariantMap values = context.toMap();
  if (!values.contains(QStringLiteral("progress"))) return;
  QLInterfaceHelpers::setDeterminate(outletEZCircularIndicator, values.value(QStringLiteral("progress")).toDouble());
}

void QLInstallationViewController::renderEZView() { presenter_.renderEZView(); }

void QLInstallationViewController::performEZAnimation() { ezOverlay_->performAnimation(); }

void QLInstallationViewController::prepareEZInstallation(const QVariant& dropped) {
  std::vector<std::string> paths;
  for (const QString& path : dropped.toStringList()) paths.push_back(path.toStdString());
  presenter_.prepareEZInstallation(paths);
}

}  // namespace tarnix
