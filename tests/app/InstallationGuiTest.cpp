// The Installation pane offscreen: normal and EZ installs against the real helper daemon on
// sample volumes, the folder matrix, the EZ overlay, and the checks made before a run.
#include <sys/stat.h>
#include <unistd.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/QLEZView.h"
#include "app/QLInstallationViewController.h"
#include "app/QLKextTableModel.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "cli/SampleVolume.h"
#include "model/QLKernelExtensionsManager.h"
#include "model/QLOSVolumeManager.h"
#include "ui/QLAppManager.h"
#include "ui/QLInterfaceHelpers.h"

using namespace tarnix;
using test::closeMessageBoxes;
using test::dropFiles;
using test::kGenerousMs;
using test::visibleMessageBoxes;

namespace {

QString names(const std::vector<QLKernelExtension>& kexts) {
  QStringList list;
  for (const auto& kext : kexts) list << QString::fromStdString(kext.name());
  return list.join(QLatin1Char(','));
}

// Forwards everything to the real helper's proxy, writing down the kext calls as
// "backup NAMES FOLDER DESTINATION" and "install NAMES FOLDER"; with `hold` set it keeps the
// kext calls' replies (nothing failed) until release().
class KextProxy final : public QLXPCTarnixHelperProtocol {
 public:
  explicit KextProxy(QLXPCTarnixHelperProtocol* innerProxy) : inner(innerProxy) {}
  QLXPCTarnixHelperProtocol* inner;
  bool hold = false;
  bool holdRepair = false;

  QStringList requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  void release() {
    std::vector<std::function<void()>> held;
    {
      std::lock_guard lock(mutex_);
      held.swap(held_);
    }
    for (auto& answer : held) answer();
  }

  void test(QLReply<std::int64_t> reply) override { inner->test(std::move(reply)); }
  void terminate() override { inner->terminate(); }
  void uninstall(QLReply<bool> reply) override { inner->uninstall(std::move(reply)); }
  void getVersion(QLReply<std::string> reply) override { inner->getVersion(std::move(reply)); }
  void test2(QLReply<std::int64_t> reply) override { inner->test2(std::move(reply)); }
  void repairWithFolder(std::string folder, QLOSVolume volume, QLReply<bool> reply) override {
    record("repairWithFolder " + folder);
    inner->repairWithFolder(std::move(folder), std::move(volume), std::move(reply));
  }
  void repairDiskPermissionsOnTargetVolume(
      QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) override {
    record("repairDiskPermissions");
    auto forward = [this, volume = std::move(volume), reply = std::move(reply)]() mutable {
      inner->repairDiskPermissionsOnTargetVolume(
          std::move(volume),
          [this, reply = std::move(reply)](std::vector<QLRepairPermissionsRepresentableResult> results) {
            {
              std::lock_guard lock(mutex_);
              repairResults = results.size();
            }
            reply(std::move(results));
          });
    };
    if (!holdRepair) return forward();
    std::lock_guard lock(mutex_);
    held_.push_back(std::move(forward));
  }
  void rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) override {
    record("rebuildCaches");
    inner->rebuildCachesOnTargetVolume(std::move(volume), std::move(reply));
  }
  void installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder, QLOSVolume volume,
                                   QLReply<std::vector<QLKernelExtension>> reply) override {
    record("install " + names(kexts).toStdString() + " " + folder);
    if (hold) return keep(std::move(reply));
    inner->installWithKernelExtensions(std::move(kexts), std::move(folder), std::move(volume), std::move(reply));
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder, QLOSVolume volume,
                                  std::string destination, QLReply<std::vector<QLKernelExtension>> reply) override {
    record("backup " + names(kexts).toStdString() + " " + folder + " " + destination);
    if (hold) return keep(std::move(reply));
    inner->backupWithKernelExtensions(std::move(kexts), std::move(folder), std::move(volume), std::move(destination),
                                      std::move(reply));
  }
  void changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) override {
    inner->changeMaximumThreadsNumber(number, std::move(reply));
  }
  void installBrambleFromSourcePath(std::string source, std::string destination, QLReply<bool> reply) override {
    inner->installBrambleFromSourcePath(std::move(source), std::move(destination), std::move(reply));
  }
  void uninstallBrambleFromPath(std::string path, QLReply<bool> reply) override {
    inner->uninstallBrambleFromPath(std::move(path), std::move(reply));
  }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) override {
    inner->applyBooterConfigViaNVRAMWithNewBooterConfig(value, std::move(reply));
  }

  std::size_t repairResults = 0;

 private:
  void record(const std::string& request) {
    std::lock_guard lock(mutex_);
    requests_ << QString::fromStdString(request);
  }
  void keep(QLReply<std::vector<QLKernelExtension>> reply) {
    std::lock_guard lock(mutex_);
    held_.push_back([reply = std::move(reply)] { reply({}); });
  }
  mutable std::mutex mutex_;
  QStringList requests_;
  std::vector<std::function<void()>> held_;
};

// A kext bundle owned by 1234:1234 with modes that are not 0755, carrying `marker` in its
// binary; `version` empty: no version anywhere.
void makeKext(const QString& path, const QString& version, const QByteArray& marker) {
  QDir().mkpath(path + "/Contents/MacOS");
  QFile info(path + "/Contents/Info.plist");
  QVERIFY(info.open(QIODevice::WriteOnly));
  QByteArray body =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>CFBundleIdentifier</key><string>org.example.kext</string>";
  if (!version.isEmpty()) body += "<key>CFBundleShortVersionString</key><string>" + version.toUtf8() + "</string>";
  info.write(body + "</dict></plist>\n");
  info.close();
  const QString binary = path + "/Contents/MacOS/" + QFileInfo(path).completeBaseName();
  QFile file(binary);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(marker);
  file.close();
  QDirIterator items(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  QStringList all{path};
  while (items.hasNext()) all << items.next();
  for (const QString& item : all) {
    const QByteArray native = QFile::encodeName(item);
    QVERIFY(::chmod(native.constData(), QFileInfo(item).isDir() ? 0700 : 0600) == 0);
    QVERIFY(::lchown(native.constData(), 1234, 1234) == 0);
  }
}

// Every item of the tree, the top included, owned by 0:0 with mode 0755.
QString rootOwned0755(const QString& path) {
  QDirIterator items(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  QStringList all{path};
  while (items.hasNext()) all << items.next();
  for (const QString& item : all) {
    struct stat info {};
    if (::lstat(QFile::encodeName(item).constData(), &info) != 0) return item + " is missing";
    if (info.st_uid != 0 || info.st_gid != 0 || (info.st_mode & 07777) != 0755)
      return QStringLiteral("%1 is %2:%3 %4")
          .arg(item)
          .arg(info.st_uid)
          .arg(info.st_gid)
          .arg(info.st_mode & 07777, 0, 8);
  }
  return {};
}

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<QLInstallationViewController> makePane() {
  auto* pane = qobject_cast<QLInstallationViewController*>(
      QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDInstallation)));
  pane->show();
  QCoreApplication::processEvents();
  return std::unique_ptr<QLInstallationViewController>(pane);
}

void setEZMode(bool on) {
  QLAppManager::shared().preferences().setEnableEZInstallationMode(on);
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidChangeEZInstallationModeStatus));
}

}  // namespace

class InstallationGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    test::useTemporaryUserFolders(home_.path());
    QVERIFY(QLInstallStringTable(*QCoreApplication::instance()));
    if (::geteuid() != 0) QSKIP("installed kexts are owned by root: run as root");

    QVERIFY2(daemon_.waitUntilListening(), qPrintable(daemon_.log()));
    qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon_.socket()));
    // What the application says of the caches follows the helper's kextcache.
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(daemon_.path("kextcache")));
    QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
    QLAppManager::shared().xpcManager().installAndConnect();
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() == 1, kGenerousMs);
    QVERIFY(QLAppManager::shared().proxy());

    for (QString* volume : {&volume_, &extraVolume_}) {
      cli::SampleVolumeSummary summary;
      std::string error;
      *volume = daemon_.path(volume == &volume_ ? "volume" : "extra volume");
      QVERIFY2(cli::makeSampleVolume({volume->toStdString(), 20}, summary, error), error.c_str());
      QVERIFY(QDir().mkpath(*volume + "/Library/Extensions"));
    }
    QVERIFY(QDir().mkpath(extraVolume_ + "/Extra/Extensions"));
    QVERIFY(QDir(volume_ + "/Extra").exists() == false);
  }

  void init() {
    QLKernelExtensionsManager::shared().kextsTBI.clear();
    QLAppManager::shared().preferences().setEnableEZInstallationMode(false);
    QLAppManager::shared().preferences().setPreferredKextsBackupFolderURL(
        QUrl::fromLocalFile(kexts_.path() + "/Kext Backups #1/").toString().toStdString());
  }

  void cleanup() {
    closeMessageBoxes();
    QLAppManager::shared().setProxy(nullptr);
  }

  void normalInstallBacksUpTheReplacedKextAndInstallsBothAsRoot() {
    KextProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    const QString source = kexts_.path() + "/normal";
    makeKext(source + "/New.kext", QString(), "new");
    makeKext(source + "/Old.kext", QStringLiteral("2.0"), "old 2.0");
    QVERIFY(QDir().mkpath(source + "/Notes"));
    const QString installed = volume_ + "/Library/Extensions/";
    makeKext(installed + "Old.kext", QStringLiteral("1.0"), "old 1.0");

    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(!pane->outletEZView->isVisible());
    QVERIFY(pane->outletButtonBackupKexts->isChecked());
    // A folder, and a kext dropped a second time with a trailing "/", are not added.
    QVERIFY(dropFiles(pane->tableViewKexts->viewport(),
                      {source + "/New.kext", source + "/Old.kext", source + "/Notes", source + "/New.kext/"}));
    QLKextTableModel* table = pane->kextTableModel();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->index(0, QLKextTableModel::QLIDKextName).data().toString(), QStringLiteral("New.kext"));
    QCOMPARE(table->index(0, QLKextTableModel::QLIDKextPath).data().toString(), source + "/New.kext");
    QCOMPARE(table->index(0, QLKextTableModel::QLIDKextVersion).data().toString(), QStringLiteral("N/A"));
    QCOMPARE(table->index(1, QLKextTableModel::QLIDKextVersion).data().toString(), QStringLiteral("2.0"));

    QList<bool> idle;
    QLNotificationCenter::defaultCenter().observe(pane.get(), QLatin1String(kQLNotificationDidExecute),
                                                  [&](const QVariant& value) { idle << value.toBool(); });
    pane->executeButton->click();
    QVERIFY(!pane->executeButton->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QCOMPARE(visibleMessageBoxes().first()->icon(), QMessageBox::Information);
    QCOMPARE(visibleMessageBoxes().first()->text(), QLLocalizedString("kQLMainAbstractVCFinished"));
    const QString finished = visibleMessageBoxes().first()->informativeText();
    QCOMPARE(idle, (QList<bool>{false, true}));
    QVERIFY(pane->executeButton->isEnabled());
    QCOMPARE(pane->kextTableModel()->rowCount(), 2);

    // Only the installed kext is backed up; the escaped backup folder is the one chosen.
    const QString backupRoot = kexts_.path() + "/Kext Backups #1/";
    QCOMPARE(recorder.requests(), (QStringList{"backup Old.kext /Library/Extensions/ " + backupRoot,
                                               "install New.kext,Old.kext /Library/Extensions/"}));
    for (const char* name : {"New.kext", "Old.kext"}) {
      const QString problem = rootOwned0755(installed + name);
      QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    QCOMPARE(contents(installed + "Old.kext/Contents/MacOS/Old"), QByteArray("old 2.0"));
    const QStringList dated = QDir(backupRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(dated.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{8}_\\d{6}$")).match(dated.first()).hasMatch(),
             qPrintable(dated.first()));
    // The message names the folder the backup went to.
    QCOMPARE(finished, QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished") + " " +
                           QLLocalizedString("kQLInstallationVCBackedUpTo").arg(backupRoot + dated.first()));
    QCOMPARE(QDir(backupRoot + dated.first()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Old.kext"});
    QCOMPARE(contents(backupRoot + dated.first() + "/Old.kext/Contents/MacOS/Old"), QByteArray("old 1.0"));
  }

  void aKextThatFailsIsNamedAfterTheFinishMessage() {
    KextProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    const QString source = kexts_.path() + "/failing";
    makeKext(source + "/Gone.kext", QString(), "gone");
    makeKext(source + "/Here.kext", QString(), "here");
    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    pane->outletButtonBackupKexts->setChecked(false);
    QLKernelExtensionsManager::shared().addKextsFromPaths(
        {(source + "/Gone.kext").toStdString(), (source + "/Here.kext").toStdString()});
    QVERIFY(QDir(source + "/Gone.kext").removeRecursively());
    pane->executeButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished") + "\n\n" +
                 QLLocalizedString("kQLInstallationVCFailedToInstallKexts") + "Gone.kext");
    QCOMPARE(recorder.requests(), QStringList{"install Gone.kext,Here.kext /Library/Extensions/"});
    QVERIFY(QFileInfo::exists(volume_ + "/Library/Extensions/Here.kext"));

    // The next run names only its own failures.
    closeMessageBoxes();
    makeKext(source + "/Gone.kext", QString(), "back");
    pane->executeButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished"));
  }

  // The chooser opens where the last one was left, a typed folder opens that folder, and the
  // folder the kexts were chosen in is where the next chooser opens.
  void theKextChooserAddsTheChosenBundlesAndRemembersTheirFolder() {
    const QString source = kexts_.path() + "/chosen";
    makeKext(source + "/Other/One.kext", QString(), "one");
    makeKext(source + "/Other/Two.kext", QString(), "two");
    QVERIFY(QDir().mkpath(source + "/Other/Notes"));
    QLAppManager::shared().preferences().setNavLastRootDirectory(source.toStdString());
    auto pane = makePane();
    auto openChooser = [&] {
      pane->outletButtonSelect->click();
      QFileDialog* panel = nullptr;
      const bool open = QTest::qWaitFor(
          [&] { return (panel = pane->window()->findChild<QFileDialog*>(QStringLiteral("kextChooser"))); });
      return open ? panel : nullptr;
    };
    QFileDialog* panel = openChooser();
    QVERIFY(panel);
    QCOMPARE(panel->windowTitle(), QLLocalizedString("kQLInstallationVCChooseKextsTitle"));
    QCOMPARE(panel->directory().absolutePath(), source);
    QCOMPARE(panel->labelText(QFileDialog::Accept), QLLocalizedString("kQLInstallationVCChoose"));
    QVERIFY(pane->circularIndicator->isVisible());
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    name->setText(source + "/Other");
    QVERIFY(QMetaObject::invokeMethod(panel, "accept"));
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->directory().absolutePath(), source + "/Other");
    name->setText(QStringLiteral("\"One.kext\" \"Notes\" \"Two.kext\""));
    QVERIFY(QMetaObject::invokeMethod(panel, "accept"));
    QTRY_COMPARE(pane->kextTableModel()->rowCount(), 2);
    QCOMPARE(pane->kextTableModel()->index(1, QLKextTableModel::QLIDKextPath).data().toString(),
             source + "/Other/Two.kext");
    QVERIFY(!pane->circularIndicator->isVisible());
    QCOMPARE(QLAppManager::shared().preferences().navLastRootDirectory().value_or(""),
             (source + "/Other").toStdString());
    QTRY_VERIFY(!pane->window()->findChild<QFileDialog*>(QStringLiteral("kextChooser")));
    panel = openChooser();
    QVERIFY(panel);
    QCOMPARE(panel->directory().absolutePath(), source + "/Other");
    panel->reject();
  }

  void deleteAndTheContextMenuRemoveTheSelectedRows() {
    auto pane = makePane();
    QLKernelExtensionsManager::shared().addKextsFromPaths({"/k/A.kext", "/k/B.kext", "/k/C.kext"});
    pane->kextTableModel()->reloadData();
    QVERIFY(pane->tableViewKexts->actions().contains(pane->outletActionRemoveKexts));
    QCOMPARE(pane->tableViewKexts->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(pane->outletActionRemoveKexts->text(), QLLocalizedString("kQLInstallationVCRemove"));
    pane->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(pane.get()));
    pane->tableViewKexts->setFocus();
    pane->tableViewKexts->selectRow(0);
    pane->tableViewKexts->selectionModel()->select(pane->kextTableModel()->index(2, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(pane->tableViewKexts, Qt::Key_Delete);
    QCOMPARE(pane->kextTableModel()->rowCount(), 1);
    QCOMPARE(QLKernelExtensionsManager::shared().kextsTBI.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(QLKernelExtensionsManager::shared().kextsTBI.front().name()),
             QStringLiteral("B.kext"));
  }

  void anEZDropOfAFolderAndAKextInstallsOnlyTheKext() {
    KextProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    const QString source = kexts_.path() + "/ez";
    makeKext(source + "/Dropped.kext", QStringLiteral("3.1"), "dropped");
    makeKext(source + "/Second.kext", QString(), "second");
    QVERIFY(QDir().mkpath(source + "/Folder"));
    QLAppManager::shared().preferences().setEnableEZInstallationMode(true);
    auto pane = makePane();
    QVERIFY(pane->presenter().enableEZMode);
    QVERIFY(pane->outletEZView->isVisible());
    QVERIFY(!pane->executeButton->isEnabled());
    QVERIFY(pane->chooseVolumeAtPath(volume_));

    // How the overlay looks when the run starts, after the pause.
    QColor runningFill;
    bool dropsWhileRunning = true;
    QLNotificationCenter::defaultCenter().observe(pane.get(), QLatin1String(kQLNotificationDidExecute),
                                                  [&](const QVariant& idle) {
                                                    if (idle.toBool()) return;
                                                    runningFill = pane->outletEZBackgroundBox->fillColor();
                                                    dropsWhileRunning = pane->outletEZView->acceptDrops();
                                                  });
    QVERIFY(dropFiles(pane->outletEZView, {source + "/Folder", source + "/Dropped.kext"}));
    // A second drop during the pause joins the same run.
    QVERIFY(dropFiles(pane->outletEZView, {source + "/Second.kext"}));
    // The preparing pause: blurred picture, indicator instead of the kext picture.
    QVERIFY(pane->outletEZKextImageView->isHidden());
    QVERIFY(pane->outletEZCircularIndicator->isVisible());
    QCOMPARE(pane->outletEZView->backgroundBlurRadius(), 1.5);
    QVERIFY(recorder.requests().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedResults(), kGenerousMs);
    QCOMPARE(runningFill, QColor(0, 0, 0, 128));
    QVERIFY(!dropsWhileRunning);
    // Nothing of the kext was installed before, so the backup list is empty.
    QCOMPARE(recorder.requests(), (QStringList{"backup  /Library/Extensions/ " + kexts_.path() + "/Kext Backups #1/",
                                               "install Dropped.kext,Second.kext /Library/Extensions/",
                                               "repairDiskPermissions", "rebuildCaches"}));
    QVERIFY(rootOwned0755(volume_ + "/Library/Extensions/Dropped.kext").isEmpty());
    QVERIFY(!QFileInfo::exists(volume_ + "/Library/Extensions/Folder"));
    QLDetailedResultsViewController* results = pane->presentedResults();
    QCOMPARE(
        results->descriptionField->text(),
        QLLocalizedString("kQLInstallationVCSelectedKextsInstalledOperationsAllFinished") + "\n" +
            QLLocalizedString("kQLInstallationVCNothingToBackUp") + "\n\n" +
            QLLocalizedString("kQLDetailedResultsVCJournal").arg(volume_ + "/Library/Logs/Tarnix/Journal", volume_));
    QCOMPARE(results->model()->rowCount(), static_cast<int>(recorder.repairResults));
    QCOMPARE(pane->kextTableModel()->rowCount(), 0);
    QVERIFY(QLKernelExtensionsManager::shared().kextsTBI.empty());
    QVERIFY(pane->outletEZKextImageView->isVisible());
    QVERIFY(pane->outletEZView->acceptDrops());
    QCOMPARE(pane->outletEZView->backgroundBlurRadius(), 0.0);
    // The animation comes back after its pause.
    QVERIFY(!pane->ezTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(pane->ezTimer->isActive(), kGenerousMs);
  }

  // The overlay's indicator shows how far the repair is, in a light and in a dark theme, and
  // looks as any other indicator again once the run is over.
  void theEZIndicatorShowsItsValueAndComesBackToItsIdleLook() {
    KextProxy recorder(QLAppManager::shared().proxy());
    recorder.holdRepair = true;
    QLAppManager::shared().setProxy(&recorder);
    const QString source = kexts_.path() + "/indicator";
    makeKext(source + "/Shown.kext", QString(), "shown");
    QLAppManager::shared().preferences().setEnableEZInstallationMode(true);
    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(dropFiles(pane->outletEZView, {source + "/Shown.kext"}));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.requests().contains("repairDiskPermissions"), kGenerousMs);
    QProgressBar* indicator = pane->outletEZCircularIndicator;
    QLNotificationCenter::defaultCenter().post(QStringLiteral("local.quillon.xpc.manager.didReceiveHelperContext"),
                                               QVariantMap{{QStringLiteral("progress"), 50.0}});
    QCOMPARE(indicator->value(), 50);
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
      dark.setColor(role, QColor(0x20, 0x20, 0x20));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) dark.setColor(role, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(0x30, 0x60, 0xa0));
    for (const QPalette& theme : {original, dark}) {
      QApplication::setPalette(theme);
      QCoreApplication::processEvents();
      // The box as the user sees it, over black; the filled part light, the rest dark.
      QImage seen(pane->outletEZBackgroundBox->size(), QImage::Format_ARGB32_Premultiplied);
      seen.fill(Qt::black);
      pane->outletEZBackgroundBox->render(&seen, QPoint(), QRegion(), QWidget::DrawChildren);
      const QRect bar = indicator->geometry();
      const int y = bar.center().y();
      const QColor filled = seen.pixelColor(bar.left() + bar.width() / 4, y);
      const QColor empty = seen.pixelColor(bar.left() + bar.width() * 3 / 4, y);
      QVERIFY2(filled.lightness() > 200 && empty.lightness() < 120,
               qPrintable(QStringLiteral("filled %1, empty %2").arg(filled.name(), empty.name())));
    }
    QApplication::setPalette(original);

    recorder.release();
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedResults(), kGenerousMs);
    // Idle again: drawn exactly as a plain indicator of the same size and value.
    QLInterfaceHelpers::setDeterminate(indicator, 30);
    indicator->show();  // as at the next drop
    QCoreApplication::processEvents();
    auto drawn = [](QWidget* widget) {
      QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::white);
      widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
      return image;
    };
    QProgressBar plain(indicator->parentWidget());
    plain.setTextVisible(false);
    plain.resize(indicator->size());
    QLInterfaceHelpers::setDeterminate(&plain, 30);
    QCOMPARE(drawn(indicator), drawn(&plain));
  }

  // A drop before any volume is chosen says so at once and keeps the kexts; choosing the
  // volume installs them.
  void anEZDropWithoutAVolumeWaitsForOne() {
    KextProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    const QString source = kexts_.path() + "/waiting";
    makeKext(source + "/Waiting.kext", QString(), "waiting");
    QLAppManager::shared().preferences().setEnableEZInstallationMode(true);
    QLOSVolumeManager::shared().setSelected(std::nullopt);
    auto pane = makePane();
    QVERIFY(!pane->targetVolume);
    QVERIFY(dropFiles(pane->outletEZView, {source + "/Waiting.kext"}));
    QCOMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(), QLLocalizedString("kQLInstallationVCEZNoTargetVolume"));
    QCOMPARE(pane->outletEZStatusField->text(), QLLocalizedString("kQLInstallationVCEZKextsWaitForAVolume"));
    QCOMPARE(pane->presenter().kextsWaitingForAVolume(),
             std::vector<std::string>{(source + "/Waiting.kext").toStdString()});
    QVERIFY(!pane->presenter().isInstalling());
    closeMessageBoxes();

    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedResults(), kGenerousMs);
    QVERIFY(recorder.requests().contains("install Waiting.kext /Library/Extensions/"));
    QVERIFY(rootOwned0755(volume_ + "/Library/Extensions/Waiting.kext").isEmpty());
    QVERIFY(pane->presenter().kextsWaitingForAVolume().empty());
  }

  void theExtraRowFollowsTheVolume() {
    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(pane->matrixRow(1)->isChecked());
    QVERIFY(!pane->matrixRow(2)->isEnabled());
    QVERIFY(pane->chooseVolumeAtPath(extraVolume_));
    QVERIFY(pane->matrixRow(2)->isEnabled());
    pane->matrixRow(2)->click();
    QCOMPARE(QLKernelExtensionsManager::shared().installationFolder, QLKernelExtensionFolder::ExtraExtensions);
    pane->matrixRow(0)->click();
    QCOMPARE(QLKernelExtensionsManager::shared().installationFolder, QLKernelExtensionFolder::SystemLibraryExtensions);
    pane->matrixRow(2)->click();
    // Back on a volume without the folder, the choice falls back to /Library/Extensions/.
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QVERIFY(!pane->matrixRow(2)->isEnabled());
    QVERIFY(pane->matrixRow(1)->isChecked());
    QCOMPARE(QLKernelExtensionsManager::shared().installationFolder, QLKernelExtensionFolder::LibraryExtensions);
    // A new pane shows the folder the kexts go to.
    pane->matrixRow(0)->click();
    auto again = makePane();
    QVERIFY(again->matrixRow(1)->isChecked());
    QCOMPARE(QLKernelExtensionsManager::shared().installationFolder, QLKernelExtensionFolder::LibraryExtensions);
  }

  void switchingEZModeRendersTheOverlayAndItsAnimation() {
    auto pane = makePane();
    QVERIFY(!pane->outletEZView->isVisible());
    QVERIFY(pane->executeButton->isEnabled() && pane->outletButtonSelect->isEnabled());
    QVERIFY(!pane->ezTimer->isActive());
    QLKernelExtensionsManager::shared().addKextsFromPaths({"/k/A.kext"});

    setEZMode(true);
    QVERIFY(pane->outletEZView->isVisible());
    QVERIFY(!pane->executeButton->isEnabled() && !pane->outletButtonSelect->isEnabled());
    QVERIFY(pane->ezTimer->isActive());
    QCOMPARE(pane->ezTimer->interval(), 3000);
    QCOMPARE(pane->outletEZStatusField->text(), QLLocalizedString("kQLInstallationVCEZModeEnabledSuccessfully"));
    QTRY_VERIFY(QLKernelExtensionsManager::shared().kextsTBI.empty());

    pane->performEZAnimation();
    QTRY_COMPARE_WITH_TIMEOUT(pane->outletEZStatusField->text(), QLLocalizedString("kQLInstallationVCEZModeEnabled"),
                              kGenerousMs);
    QTRY_COMPARE_WITH_TIMEOUT(pane->outletEZStatusField->text(), QLLocalizedString("kQLInstallationVCDrag2Install"),
                              kGenerousMs);

    setEZMode(false);
    QVERIFY(!pane->outletEZView->isVisible());
    QVERIFY(!pane->ezTimer->isActive());
    QVERIFY(pane->executeButton->isEnabled() && pane->outletButtonSelect->isEnabled());
    // A stopped tick leaves the text readable.
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(pane->outletEZStatusField->graphicsEffect());
    QVERIFY(!effect || effect->opacity() == 1.0);
  }

  void executeWithoutWhatItNeedsAlertsAndSendsNothing_data() {
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("key");
    QTest::newRow("backup folder") << "backup folder"
                                   << "kQLInstallationVCNoBackupFolder";
  }
  void executeWithoutWhatItNeedsAlertsAndSendsNothing() {
    QFETCH(QString, missing);
    QFETCH(QString, key);
    KextProxy recorder(QLAppManager::shared().proxy());
    QLAppManager::shared().setProxy(&recorder);
    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    if (missing != "kexts") QLKernelExtensionsManager::shared().addKextsFromPaths({"/k/A.kext"});
    // A value of another type counts as no folder at all.
    if (missing == "backup folder")
      QLAppManager::shared().store().setValue("QLPreferredKextsBackupFolderPath", std::int64_t{1});
    pane->executeButton->click();
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QCOMPARE(visibleMessageBoxes().first()->icon(), QMessageBox::Critical);
    QCOMPARE(visibleMessageBoxes().first()->informativeText(), QLLocalizedString(key.toStdString()));
    QVERIFY(recorder.requests().isEmpty());
    QVERIFY(pane->executeButton->isEnabled());
    QVERIFY(!pane->presenter().isInstalling());
  }

  void aRunLocksTheControlsAndKeepsItsListUntilItEnds() {
    KextProxy holder(QLAppManager::shared().proxy());
    holder.hold = true;
    QLAppManager::shared().setProxy(&holder);
    auto pane = makePane();
    QVERIFY(pane->chooseVolumeAtPath(volume_));
    QLKernelExtensionsManager::shared().addKextsFromPaths({"/k/A.kext"});
    pane->kextTableModel()->reloadData();
    pane->executeButton->click();
    QCOMPARE(holder.requests().size(), 1);
    const QList<QWidget*> controls{pane->outletButtonClear, pane->outletButtonSelect, pane->outletButtonBackupKexts,
                                   pane->matrixRow(1),      pane->executeButton,      pane->resetButton,
                                   pane->imageButton};
    for (QWidget* control : controls) QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(!pane->tableViewKexts->acceptDrops() && !pane->outletEZView->acceptDrops());
    QVERIFY(!dropFiles(pane->outletEZView, {"/k/B.kext"}));

    // Switching to EZ mode meanwhile waits for the run: the helper's next call needs the list.
    setEZMode(true);
    QVERIFY(!pane->presenter().enableEZMode);
    QCOMPARE(QLKernelExtensionsManager::shared().kextsTBI.size(), std::size_t{1});
    holder.release();  // backup: the install follows with the same list
    QTRY_COMPARE(holder.requests().size(), 2);
    QVERIFY(holder.requests().last().startsWith("install A.kext "));
    holder.release();
    QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, kGenerousMs);
    QVERIFY(pane->presenter().enableEZMode);
    QVERIFY(pane->outletEZView->isVisible());
    QVERIFY(pane->tableViewKexts->acceptDrops() && pane->outletEZView->acceptDrops());
    QVERIFY(pane->outletButtonClear->isEnabled() && pane->resetButton->isEnabled());
    QVERIFY(!pane->executeButton->isEnabled());
    QTRY_VERIFY(QLKernelExtensionsManager::shared().kextsTBI.empty());
  }

 private:
  QTemporaryDir home_;
  QTemporaryDir kexts_;
  test::HelperDaemonProcess daemon_;
  QString volume_;
  QString extraVolume_;
};

QTEST_MAIN(InstallationGuiTest)
#include "InstallationGuiTest.moc"
