#include "ui/QLMainAbstractMaintenanceViewController.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "journal/QLJournal.h"
#include "model/QLOSVolumeManager.h"
#include "ui/QLAppManager.h"
#include "ui/QLDetailedResultsViewController.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {

QString QLMainAbstractMaintenanceViewController::withJournalLocation(const QString& text) const {
  if (!targetVolume) return text;
  const QString mountPoint = QString::fromStdString(targetVolume->mountPoint);
  const QString folder =
      (mountPoint == QLatin1String("/") ? QString() : mountPoint) +
      QString::fromUtf8(kQLVolumeJournalFolder.data(), static_cast<int>(kQLVolumeJournalFolder.size()));
  return text + QStringLiteral("\n\n") + QLLocalizedString("kQLDetailedResultsVCJournal").arg(folder, mountPoint);
}

QString QLMainAbstractMaintenanceViewController::volumeChooserDirectory() {
  const QString user = qEnvironmentVariable("USER");
  // udisks mounts removable volumes under /media/USER on Debian, /run/media/USER elsewhere.
  QStringList folders;
  if (!user.isEmpty()) folders << QStringLiteral("/media/") + user << QStringLiteral("/run/media/") + user;
  folders << QStringLiteral("/media") << QStringLiteral("/mnt");
  for (const QString& folder : folders)
    if (QDir(folder).exists()) return folder;
  return QDir::rootPath();
}

const char* QLMainAbstractMaintenanceViewController::rebuildingCachesKey() {
  return QLAppManager::helperRebuildsCachesNow() ? "kQLMainAbstractVCRebuildingCaches"
                                                 : "kQLMainAbstractVCMarkingCachesForRebuild";
}

QLMainAbstractMaintenanceViewController::QLMainAbstractMaintenanceViewController(QWidget* parent)
    : QLMainAbstractViewController(parent) {
  statusField = new QLabel(this);
  statusField->setObjectName(QStringLiteral("statusField"));
  resetButton = new QPushButton(this);
  resetButton->setObjectName(QStringLiteral("resetButton"));
  executeButton = new QPushButton(this);
  executeButton->setObjectName(QStringLiteral("executeButton"));
  executeButton->setDefault(true);
  volumeInfoField = new QLabel(this);
  volumeInfoField->setObjectName(QStringLiteral("volumeInfoField"));

  QHBoxLayout* volume = headerLayout(volumeInfoField);
  contentLayout_ = new QVBoxLayout;
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(statusField, 1);
  bottom->addWidget(circularIndicator);
  bottom->addWidget(resetButton);
  bottom->addWidget(executeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(volume);
  // Height the window gains goes to the pane's own controls, not to the header.
  layout->addLayout(contentLayout_, 1);
  layout->addLayout(bottom);

  connect(imageButton, &QToolButton::clicked, this, &QLMainAbstractMaintenanceViewController::selectVolume);
  connect(resetButton, &QPushButton::clicked, this, &QLMainAbstractMaintenanceViewController::reset);
  connect(executeButton, &QPushButton::clicked, this, &QLMainAbstractMaintenanceViewController::execute);
}

QLXPCTarnixHelperProtocol* QLMainAbstractMaintenanceViewController::proxy() const {
  return QLAppManager::shared().proxy();
}

void QLMainAbstractMaintenanceViewController::updateStatusWithLocalizedString(const QString& text) {
  statusField->setText(QLLocalizedString("kQLMainAbstractMaintenanceVCStatus", "Status: ") + text);
}

void QLMainAbstractMaintenanceViewController::renderLocalizedOutlets() {
  imageButton->setIcon(QIcon(QStringLiteral(":/images/QLUIVolume.svg")));
  mainTitle->setText(QLLocalizedString("kQLMainAbstractMaintenanceVCSelectTargetSystemVolume"));
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  executeButton->setText(QLLocalizedString("kQLMainAbstractMaintenanceVCExecute"));
  resetButton->setText(QLLocalizedString("kQLMainAbstractMaintenanceVCReset"));
}

void QLMainAbstractMaintenanceViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  renderLocalizedOutlets();
  targetVolume = QLOSVolumeManager::shared().selected();
  showVolume();
  QLNotificationCenter::defaultCenter().observe(
      this, QStringLiteral("local.quillon.xpc.manager.didReceiveHelperContext"),
      [this](const QVariant& context) { updateRepairPermissionsProgress(context); });
}

void QLMainAbstractMaintenanceViewController::showVolume() {
  if (targetVolume) {
    pathField->setText(QString::fromStdString(targetVolume->mountPoint));
    volumeInfoField->setText(QString::fromStdString(targetVolume->osVersion.getOSVersionString()));
  } else {
    pathField->setText(QLLocalizedString("kQLMainAbstractMaintenanceVCNoVolumeSelected"));
    volumeInfoField->clear();
  }
}

void QLMainAbstractMaintenanceViewController::updateRepairPermissionsProgress(const QVariant& context) {
  // Contexts are delivered on the GUI thread by the notification centre.
  const QVariantMap values = context.toMap();
  if (!values.contains(QStringLiteral("progress"))) return;
  QLInterfaceHelpers::setDeterminate(circularIndicator, values.value(QStringLiteral("progress")).toDouble());
  // The phase in words, when the helper says it: a long phase is not mistaken for a stall.
  static constexpr std::array<std::array<const char*, 3>, 4> kPhases{{
      {"receipts", "kQLMainAbstractPhaseReceipts", "Repairing permissions: reading the package receipts…"},
      {"resources", "kQLMainAbstractPhaseResources", "Repairing permissions: listing the files…"},
      {"repair", "kQLMainAbstractPhaseRepair", "Repairing permissions: checking and fixing the files…"},
      {"transfer", "kQLMainAbstractPhaseTransfer", "Repairing permissions: receiving the results…"},
  }};
  const QString phase = values.value(QStringLiteral("phase")).toString();
  for (const auto& [name, key, fallback] : kPhases)
    if (phase == QLatin1String(name)) updateStatusWithLocalizedString(QLLocalizedString(key, fallback));
}

void QLMainAbstractMaintenanceViewController::openVolumeChooser(QWidget* parent,
                                                                std::function<void(const QString&)> chosen,
                                                                std::function<void()> cancelled) {
  // The mounted macOS volumes are offered in the dialog's side bar, and it opens in the first
  // of them, so that Select takes it at once; the user need not know where it is mounted.
  const auto volumes = QLOSVolumeManager::mountedVolumes();
  QList<QUrl> places;
  for (const auto& entry : volumes) places << QUrl::fromLocalFile(QString::fromStdString(entry.volume.mountPoint));
  const QString start = volumes.empty() ? volumeChooserDirectory() : places.first().toLocalFile();
  places << QUrl::fromLocalFile(volumeChooserDirectory()) << QUrl::fromLocalFile(QDir::homePath());
  auto* panel = new QFileDialog(parent ? parent->window() : nullptr,
                                QLLocalizedString("kQLMainAbstractVCChooseVolumeTitle"), start);
  panel->setObjectName(QStringLiteral("volumeChooser"));
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->setFileMode(QFileDialog::Directory);
  panel->setOption(QFileDialog::ShowDirsOnly);
  panel->setOption(QFileDialog::DontUseNativeDialog);
  panel->setLabelText(QFileDialog::Accept, QLLocalizedString("kQLMainAbstractVCSelect"));
  panel->setSidebarUrls(places);
  panel->setWindowModality(Qt::WindowModal);
  QPointer<QWidget> owner(parent);
  connect(panel, &QFileDialog::finished, panel,
          [owner, panel, chosen = std::move(chosen), cancelled = std::move(cancelled)](int outcome) {
            if (!owner) return;
            const auto urls = panel->selectedUrls();
            if (outcome != QDialog::Accepted || urls.isEmpty()) {
              if (cancelled) cancelled();
              return;
            }
            // The dialog hands a local path: decoding only "%20" of its URL would turn a name
            // with any other escaped character into a folder that does not exist.
            chosen(urls.first().toLocalFile());
          });
  panel->open();
}

std::optional<QLOSVolume> QLMainAbstractMaintenanceViewController::validTargetVolumeAtPath(QWidget* alertParent,
                                                                                           const QString& path) {
  auto volume = QLOSVolume::initWithMountPoint(path.toStdString());
  const QString title = QLLocalizedString("kQLMainAbstractVCAnErrorOccured");
  if (!volume) {
    QLInterfaceHelpers::showAlert(alertParent, title,
                                  QLLocalizedString("kQLMainAbstractMaintenanceVCSelectedVolumeIsNotValid"));
    return std::nullopt;
  }
  if (volume->isRecovery()) {
    QLInterfaceHelpers::showAlert(alertParent, title,
                                  QLLocalizedString("kQLMainAbstractMaintenanceVCSelectedVolumeIsRecoveryVolume"));
    return std::nullopt;
  }
  return volume;
}

void QLMainAbstractMaintenanceViewController::selectVolume() {
  QLInterfaceHelpers::start(circularIndicator);
  QPointer<QLMainAbstractMaintenanceViewController> self(this);
  openVolumeChooser(
      this, [self](const QString& path) { self->chooseVolumeAtPath(path); },
      [self] { QLInterfaceHelpers::stop(self->circularIndicator); });
}

bool QLMainAbstractMaintenanceViewController::chooseVolumeAtPath(const QString& path) {
  QLInterfaceHelpers::stop(circularIndicator);
  const auto volume = validTargetVolumeAtPath(this, path);
  if (!volume) return false;
  targetVolume = volume;
  QLOSVolumeManager::shared().setSelected(volume);
  // Taken again at the next launch while it is still there.
  QLAppManager::shared().preferences().setLastTargetVolumePath(volume->mountPoint);
  showVolume();
  targetVolumeDidChange();
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidSelectAValidOSVolume),
                                             volume->hasExtraFolder());
  return true;
}

// The chosen volume stays: on Linux "/" is no macOS volume, so going back to it would only
// lose the user's choice.
void QLMainAbstractMaintenanceViewController::reset() {
  QLInterfaceHelpers::stop(circularIndicator);
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
}

void QLMainAbstractMaintenanceViewController::lockControls() { setControlsEnabled(false); }

void QLMainAbstractMaintenanceViewController::unlockControls() { setControlsEnabled(true); }

void QLMainAbstractMaintenanceViewController::setControlsEnabled(bool enabled) {
  setChoicesEnabled(enabled);
  imageButton->setEnabled(enabled);
  executeButton->setEnabled(enabled);
  resetButton->setEnabled(enabled);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidExecute), enabled);
}

bool QLMainAbstractMaintenanceViewController::canCallHelper() {
  const QString title = QLLocalizedString("kQLMainAbstractVCAnErrorOccured");
  if (!targetVolume) {
    QLInterfaceHelpers::showAlert(this, title, QLLocalizedString("kQLMainAbstractMaintenanceVCNoVolumeSelected"));
    return false;
  }
  if (!proxy()) {
    QLInterfaceHelpers::showAlert(this, title, QLLocalizedString("kQLMainAbstractMaintenanceVCHelperNotConnected"));
    return false;
  }
  return true;
}

void QLMainAbstractMaintenanceViewController::callRepairDiskPermissions() {
  if (delegate) delegate->willRepairDiskPermissions();
  proxy()->repairDiskPermissionsOnTargetVolume(
      *targetVolume, replyOnMain<std::vector<QLRepairPermissionsRepresentableResult>>(
                         [this](std::vector<QLRepairPermissionsRepresentableResult> results) {
                           if (delegate) delegate->didRepairDiskPermissionsWithResults(std::move(results));
                         }));
}

void QLMainAbstractMaintenanceViewController::callRebuidCaches() {
  if (delegate) delegate->willRebuildCaches();
  proxy()->rebuildCachesOnTargetVolume(*targetVolume, replyOnMain<bool>([this](bool) {
    if (delegate) delegate->didRebuildCaches();
  }));
}

void QLMainAbstractMaintenanceViewController::showRefusal(const QLXPCHelperRefusal& refusal) {
  QLInterfaceHelpers::showAlert(
      this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
      QLHelperRefusalText(refusal, targetVolume ? QString::fromStdString(targetVolume->mountPoint) : QString()));
}

void QLMainAbstractMaintenanceViewController::didRefuse(const QLXPCHelperRefusal& refusal) {
  QLInterfaceHelpers::stop(circularIndicator);
  updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractMaintenanceVCReady"));
  unlockControls();
  showRefusal(refusal);
}

void QLMainAbstractMaintenanceViewController::performSegue(const QString& identifier) {
  if (identifier != QLatin1String("QLSBSegueIDMaintenance2DetailedResults") &&
      identifier != QLatin1String("QLSBSegueIDInstallation2DetailedResults"))
    return;
  if (!result) return;
  auto* results = new QLDetailedResultsViewController(result, window());
  results->setAttribute(Qt::WA_DeleteOnClose);
  results->setWindowModality(Qt::WindowModal);
  presentedResults_ = results;
  results->open();
}

}  // namespace tarnix
