#include "app/QLMainPreferenceViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/core/QLInterfaceText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "model/QLCPU.h"
#include "platform/Files.h"
#include "platform/Processor.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {

QLMainPreferenceViewController::QLMainPreferenceViewController(std::optional<int> processorCount, QWidget* parent)
    : QLMainAbstractViewController(parent), processorCount_(processorCount.value_or(platform::onlineProcessorCount())) {
  setObjectName(QLatin1String(kIdentifier));
  imageButton->hide();
  mainTitle->hide();
  pathField->hide();
  outletBoxKextsBackupFolder = new QGroupBox(this);
  outletFieldKextsBackupFolder = new QLineEdit(outletBoxKextsBackupFolder);
  outletButtonSelectKextsBackupFolder = new QPushButton(outletBoxKextsBackupFolder);
  outletBoxEZInstallation = new QGroupBox(this);
  outletButtonEnableEZMode = new QCheckBox(outletBoxEZInstallation);
  outletBoxSIPWarning = new QGroupBox(this);
  outletButtonSIPWarning = new QCheckBox(outletBoxSIPWarning);
  outletBoxRepairPermissionsPreferences = new QGroupBox(this);
  outletFieldRepairPermissionsMaximumThreads = new QLabel(outletBoxRepairPermissionsPreferences);
  outletButtonRepairPermissionsMaximumThreads = new QComboBox(outletBoxRepairPermissionsPreferences);
  outletFieldRepairPermissionsThreads = new QLabel(outletBoxRepairPermissionsPreferences);
  outletBoxResetPreferences = new QGroupBox(this);
  outletButtonResetPreferences = new QPushButton(outletBoxResetPreferences);

  auto* folder = new QHBoxLayout(outletBoxKextsBackupFolder);
  folder->addWidget(outletFieldKextsBackupFolder, 1);
  folder->addWidget(outletButtonSelectKextsBackupFolder);
  (new QVBoxLayout(outletBoxEZInstallation))->addWidget(outletButtonEnableEZMode);
  (new QVBoxLayout(outletBoxSIPWarning))->addWidget(outletButtonSIPWarning);
  auto* threads = new QHBoxLayout(outletBoxRepairPermissionsPreferences);
  threads->addWidget(outletFieldRepairPermissionsMaximumThreads);
  threads->addWidget(outletButtonRepairPermissionsMaximumThreads);
  threads->addWidget(outletFieldRepairPermissionsThreads);
  threads->addStretch();
  auto* reset = new QHBoxLayout(outletBoxResetPreferences);
  reset->addWidget(outletButtonResetPreferences);
  reset->addStretch();
  auto* layout = new QVBoxLayout(this);
  for (QWidget* box :
       {static_cast<QWidget*>(outletBoxKextsBackupFolder), static_cast<QWidget*>(outletBoxEZInstallation),
        static_cast<QWidget*>(outletBoxSIPWarning), static_cast<QWidget*>(outletBoxRepairPermissionsPreferences),
        static_cast<QWidget*>(outletBoxResetPreferences)})
    layout->addWidget(box);
  layout->addWidget(circularIndicator);
  setMinimumWidth(520);

  connect(outletButtonSelectKextsBackupFolder, &QPushButton::clicked, this,
          &QLMainPreferenceViewController::selectKextsBackupFolder);
  connect(outletButtonEnableEZMode, &QCheckBox::clicked, this,
          &QLMainPreferenceViewController::actionButtonEnableEZMode);
  connect(outletButtonSIPWarning, &QCheckBox::clicked, this,
          &QLMainPreferenceViewController::actionButtonSilenceSIPWarning);
  connect(outletButtonResetPreferences, &QPushButton::clicked, this,
          &QLMainPreferenceViewController::actionButtonResetPreferences);
  connect(outletButtonRepairPermissionsMaximumThreads, &QComboBox::activated, this,
          &QLMainPreferenceViewController::actionButtonRepairPermissionsMaximumThreads);
}

void QLMainPreferenceViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  setWindowTitle(QLLocalizedString("kQLMainPreferenceVCTitle"));
  outletBoxKextsBackupFolder->setTitle(QLLocalizedString("kQLMainPreferenceVCKextsBackupFolder"));
  outletButtonSelectKextsBackupFolder->setText(QLLocalizedString("kQLMainPreferenceVCChoose"));
  outletBoxEZInstallation->setTitle(QLLocalizedString("kQLMainPreferenceVCEZInstallationPreference"));
  outletButtonEnableEZMode->setText(QLLocalizedString("kQLMainPreferenceVCEnableEZMode"));
  outletBoxSIPWarning->setTitle(QLLocalizedString("kQLMainPreferenceVCSIPWarningPreference"));
  outletButtonSIPWarning->setText(QLLocalizedString("kQLMainPreferenceVCSilenceSIPWarning"));
  outletBoxResetPreferences->setTitle(QLLocalizedString("kQLMainPreferenceVCResetPreference"));
  outletButtonResetPreferences->setText(QLLocalizedString("kQLMainPreferenceVCResetAllPreferences"));
  outletBoxRepairPermissionsPreferences->setTitle(QLLocalizedString("kQLMainPreferenceVCRepairPermissionsPreferences"));
  outletFieldRepairPermissionsMaximumThreads->setText(QLLocalizedString("kQLMainPreferenceVCMaximumNumberOfThreads"));
  outletFieldRepairPermissionsThreads->setText(QLLocalizedString("kQLMainPreferenceVCThreads"));

  outletFieldKextsBackupFolder->setReadOnly(true);
  outletFieldKextsBackupFolder->setFocusPolicy(Qt::NoFocus);
  outletFieldKextsBackupFolder->setContextMenuPolicy(Qt::NoContextMenu);

  outletButtonRepairPermissionsMaximumThreads->clear();
  for (int n = 1; n <= processorCount_; ++n) outletButtonRepairPermissionsMaximumThreads->addItem(QString::number(n));

  const QLPreferences& preferences = QLAppManager::shared().preferences();
  showBackupFolder();
  outletButtonEnableEZMode->setChecked(preferences.enableEZInstallationMode());
  outletButtonSIPWarning->setChecked(preferences.silenceSIPWarning());
  const auto threadsNumber = preferences.repairPermissionsMaximumThreadsNumber();
  outletButtonRepairPermissionsMaximumThreads->setCurrentIndex(
      threadsNumber ? outletButtonRepairPermissionsMaximumThreads->findText(QString::number(*threadsNumber)) : -1);
}

void QLMainPreferenceViewController::showBackupFolder() {
  const auto url = QLAppManager::shared().preferences().preferredKextsBackupFolderURL();
  outletFieldKextsBackupFolder->setText(url ? QLInterfaceText::pathFromURLString(QString::fromStdString(*url))
                                            : QString());
}

void QLMainPreferenceViewController::selectKextsBackupFolder() {
  auto* panel = new QFileDialog(window(), QString(), QDir::homePath());
  panel->setObjectName(QStringLiteral("backupFolderChooser"));
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->setFileMode(QFileDialog::Directory);
  panel->setOption(QFileDialog::ShowDirsOnly);
  panel->setOption(QFileDialog::DontUseNativeDialog);
  panel->setLabelText(QFileDialog::Accept, QLLocalizedString("kQLMainAbstractVCSelect"));
  panel->setWindowModality(Qt::WindowModal);
  connect(panel, &QFileDialog::finished, this, [this, panel](int outcome) {
    const auto urls = panel->selectedUrls();
    if (outcome == QDialog::Accepted && !urls.isEmpty()) chooseKextsBackupFolder(urls.first().toLocalFile());
  });
  panel->open();
}

bool QLMainPreferenceViewController::chooseKextsBackupFolder(const QString& path) {
  // The kernel's answer, which knows read-only mounts; permission bits alone do not.
  if (path.isEmpty() || !platform::isWritable(QFile::encodeName(path).toStdString()) || !QFileInfo(path).isDir()) {
    QLInterfaceHelpers::showAlert(this, QLLocalizedString("kQLMainAbstractVCAnErrorOccured"),
                                  QLLocalizedString("kQLMainPreferenceVCSelectedDirectoryIsNotWritable"));
    return false;
  }
  QString folder = path;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  QLAppManager::shared().preferences().setPreferredKextsBackupFolderURL(fileURLFromPath(folder.toStdString()));
  showBackupFolder();
  return true;
}

void QLMainPreferenceViewController::actionButtonEnableEZMode() {
  QLAppManager::shared().preferences().setEnableEZInstallationMode(outletButtonEnableEZMode->isChecked());
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidChangeEZInstallationModeStatus));
}

void QLMainPreferenceViewController::actionButtonSilenceSIPWarning() {
  QLAppManager::shared().preferences().setSilenceSIPWarning(outletButtonSIPWarning->isChecked());
}

void QLMainPreferenceViewController::actionButtonRepairPermissionsMaximumThreads() {
  const int index = outletButtonRepairPermissionsMaximumThreads->currentIndex();
  if (index < 0) return;
  const std::int64_t threads = index + 1;
  QLAppManager::shared().preferences().setRepairPermissionsMaximumThreadsNumber(threads);
  QLCPU::shared().setMaxthread(threads);
  // Not connected: the helper gets the stored number at the next connection.
  if (auto* proxy = QLAppManager::shared().proxy()) proxy->changeMaximumThreadsNumber(threads, [](bool) {});
}

void QLMainPreferenceViewController::actionButtonResetPreferences() {
  auto* box = new QMessageBox(QMessageBox::Critical, QLInterfaceHelpers::windowTitle(),
                              QLLocalizedString("kQLMainPreferenceVCAreYouSureToResetAllPreferences"),
                              QMessageBox::NoButton, this);
  box->setObjectName(QStringLiteral("resetConfirmation"));
  box->setInformativeText(QLLocalizedString("kQLMainPreferenceVCResetToFactoryDefaults"));
  QPushButton* resetButton =
      box->addButton(QLLocalizedString("kQLMainPreferenceVCReset"), QMessageBox::DestructiveRole);
  box->addButton(QLLocalizedString("kQLMainPreferenceVCCancel"), QMessageBox::RejectRole);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  connect(box, &QMessageBox::finished, this, [this, box, resetButton](int) {
    if (box->clickedButton() != resetButton) return;
    QLAppManager::shared().preferences().resetAll();
    QLInterfaceHelpers::showMessage(
        this, QLLocalizedString("kQLMainPreferenceVCFinishedToResetAllPreferences"),
        QLLocalizedString("kQLMainPreferenceVCAllPreferencesHaveBeenResetToFactoryDefaults"),
        [] { QLAppManager::shared().terminate(); });
  });
  box->open();
}

}  // namespace tarnix
