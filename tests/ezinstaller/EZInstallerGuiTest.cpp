// The EZ installer offscreen: collecting dropped files, the installation runs in each folder
// mode, launch and quit, the preference pane, and one run against the real helper daemon.
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <mutex>

#include "AppTestSupport.h"
#include "EZInstallerTestSupport.h"
#include "app/core/QLApplicationLock.h"
#include "app/core/QLHelperRefusalText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "cli/SampleVolume.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLEZLocalization.h"
#include "ezinstaller/QLMainEZInstallerPreferenceViewController.h"
#include "ezinstaller/QLMainEZInstallerViewController.h"
#include "ezinstaller/QLMainEZInstallerWindowController.h"
#include "ezinstaller/QLSmartTableManager.h"
#include "ezinstaller/QLUserNotificationCenter.h"
#include "model/QLCPU.h"
#include "model/QLKernelExtensionsManager.h"
#include "model/QLOSVolumeManager.h"
#include "ui/QLAppManager.h"

using namespace tarnix;
using namespace tarnix::ezinstaller;
using namespace tarnix::ezinstaller::test;
using tarnix::test::kGenerousMs;

namespace {

QString folderName(const std::string& raw) {
  if (raw == "/Library/Extensions/") return "LE";
  if (raw == "/System/Library/Extensions/") return "SLE";
  return QString::fromStdString(raw);
}

QStringList names(const std::vector<QLKernelExtension>& kexts) {
  QStringList list;
  for (const auto& kext : kexts) list << QString::fromStdString(kext.name());
  return list;
}

// Records every request as one line ("install LE A.kext B.kext", "repair", "caches"). With an
// inner proxy it forwards; without one it answers at once, failing the kexts named in
// `failing`.
class ScriptedProxy final : public QLXPCTarnixHelperProtocol {
 public:
  explicit ScriptedProxy(QLXPCTarnixHelperProtocol* innerProxy = nullptr) : inner(innerProxy) {}
  QLXPCTarnixHelperProtocol* inner;
  QSet<QString> failing;
  // Answers installs as a helper that refused them.
  std::optional<QLXPCHelperRefusal> refusal;
  std::size_t repairResults = 0;

  QStringList requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  void test(QLReply<std::int64_t> reply) override { reply(kQLHelperTestAnswer); }
  void terminate() override { record("terminate"); }
  void uninstall(QLReply<bool> reply) override { reply(false); }
  void getVersion(QLReply<std::string> reply) override { reply(""); }
  void test2(QLReply<std::int64_t> reply) override { reply(kQLHelperTest2Answer); }
  void repairWithFolder(std::string, QLOSVolume, QLReply<bool> reply) override { reply(false); }
  void repairDiskPermissionsOnTargetVolume(
      QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) override {
    record("repair " + QString::fromStdString(volume.mountPoint));
    if (!inner) return reply({});
    inner->repairDiskPermissionsOnTargetVolume(
        std::move(volume),
        [this, reply = std::move(reply)](std::vector<QLRepairPermissionsRepresentableResult> results) {
          repairResults = results.size();
          reply(std::move(results));
        });
  }
  void rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) override {
    record("caches " + QString::fromStdString(volume.mountPoint));
    if (inner) return inner->rebuildCachesOnTargetVolume(std::move(volume), std::move(reply));
    reply(true);
  }
  void installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder, QLOSVolume volume,
                                   QLReply<std::vector<QLKernelExtension>> reply) override {
    record((QStringList{"install", folderName(folder)} + names(kexts)).join(' '));
    if (inner) return inner->installWithKernelExtensions(std::move(kexts), folder, std::move(volume), std::move(reply));
    std::vector<QLKernelExtension> failed;
    for (const auto& kext : kexts)
      if (refusal || failing.contains(QString::fromStdString(kext.name()))) failed.push_back(kext);
    const QLRefusalScope scope(refusal);
    reply(failed);
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume, std::string,
                                  QLReply<std::vector<QLKernelExtension>>) override {
    record("backup");
  }
  void changeMaximumThreadsNumber(std::int64_t, QLReply<bool> reply) override { reply(true); }
  void installBrambleFromSourcePath(std::string, std::string, QLReply<bool>) override { record("installBramble"); }
  void uninstallBrambleFromPath(std::string, QLReply<bool>) override { record("uninstallBramble"); }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t, QLReply<bool>) override { record("applyBooter"); }

 private:
  void record(const QString& request) {
    std::lock_guard lock(mutex_);
    requests_ << request;
  }
  mutable std::mutex mutex_;
  QStringList requests_;
};

// Answers the modal alerts as they come: the ask dialog by the kext its text names (a folder
// button's text, or anything else for cancel), any other alert with its default button.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(QMap<QString, QString> answers = {}) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      texts << box->text();
      informativeTexts << box->informativeText();
      if (box->objectName() != QLatin1String("askInstallationFolder")) return box->done(QMessageBox::Ok);
      asked << box->text();
      const QString wanted = answers_.value(box->text().section(' ', -1));
      for (QAbstractButton* button : box->buttons())
        if (button->text() == wanted || (box->buttonRole(button) == QMessageBox::RejectRole &&
                                         wanted != "/Library/Extensions/" && wanted != "/System/Library/Extensions/"))
          return button->click();
    });
    timer_.start(20);
  }
  QStringList texts, informativeTexts, asked;

 private:
  QMap<QString, QString> answers_;
  QTimer timer_;
};

}  // namespace

class EZInstallerGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    tarnix::test::useTemporaryUserFolders(home_.path());
    // No desktop of the machine sees the test's notifications.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + home_.path() + "/no-bus"));
    QVERIFY(QLEZInstallStringTables(*QCoreApplication::instance()));
    QLAppManager::shared().terminateHandler = [this] { ++terminations_; };
    QLUserNotificationCenter::defaultCenter().observer = [this](const QLUserNotification& shown) {
      notifications_ << shown;
    };
    // No notification service answers here: every run ends with its summary in a window,
    // which the user dismisses before the application ends.
    connect(&summaryAnswerer_, &QTimer::timeout, this, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible() || box->objectName() != QLatin1String("summary")) continue;
        summaries_ << QStringList{box->text(), box->informativeText()};
        terminationsBeforeSummary_ << terminations_;
        box->done(QMessageBox::Ok);
      }
    });
    summaryAnswerer_.start(20);
    QVERIFY(QDir().mkpath(QString::fromStdString(QLSmartTableManager::shared().supportFolder)));
    // A kextcache the application sees, as the helper would: the caches count as rebuilt.
    kextcache_ = home_.path() + "/kextcache";
    QVERIFY(writeText(kextcache_, "#!/bin/sh\n"));
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(kextcache_));
    volume_ = home_.path() + "/volume";
    QVERIFY(makeMacVolume(volume_));
    kexts_ = home_.path() + "/kexts";
    for (const char* name : {"A.kext", "B.kext", "C.kext", "AppleHDA.kext"}) makeKext(kexts_, name);
  }

  void init() {
    QLOSVolumeManager::shared().setSelected(QLOSVolume::initWithMountPoint(volume_.toStdString()));
    QLMainEZInstallerViewController::failedKexts().clear();
    QLKernelExtensionsManager::shared().kextsTBI.clear();
    notifications_.clear();
    summaries_.clear();
    terminationsBeforeSummary_.clear();
    QLSmartTableManager::shared().useBuiltInTable = false;
    // Each case starts from the built-in table.
    QLSmartTableManager& smartTable = QLSmartTableManager::shared();
    QFile::remove(QString::fromStdString(smartTable.localTablePath()));
    QCOMPARE(smartTable.allocate(), std::nullopt);
  }

  void cleanup() { QLAppManager::shared().setProxy(nullptr); }

  void batchesCloserThanTheQuietPeriodFormOneRun_data() {
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QList<QStringList>>("collections");
    QTest::newRow("2 s apart") << 2000 << QList<QStringList>{{"/a.kext", "/b.kext"}};
    // The list is never emptied: the second collection holds both batches.
    QTest::newRow("4 s apart") << 4000 << QList<QStringList>{{"/a.kext"}, {"/a.kext", "/b.kext"}};
  }
  void batchesCloserThanTheQuietPeriodFormOneRun() {
    QFETCH(int, gapMs);
    QFETCH(QList<QStringList>, collections);
    QCOMPARE(AppDelegate::kCollectionIntervalMs, 3000);
    AppDelegate delegate(*qApp);
    QObject receiver;
    QList<QStringList> posted;
    QLNotificationCenter::defaultCenter().observe(&receiver, QLatin1String(kQLNotificationDidCollectAllFiles),
                                                  [&](const QVariant& files) { posted << files.toStringList(); });
    delegate.applicationOpenFiles({"/a.kext"});
    QTest::qWait(gapMs);
    delegate.applicationOpenFiles({"/b.kext"});
    QTest::qWait(AppDelegate::kCollectionIntervalMs + 1000);
    QCOMPARE(posted, collections);
    QVERIFY(!delegate.timer);
  }

  void aBatchWithoutKextsStillRepairsAndCountsTheDroppedPaths() {
    ScriptedProxy proxy;
    const auto outcome = run(proxy, QLKernelExtensionFolder::LibraryExtensions,
                             {home_.path() + "/notes.txt", kexts_, kexts_ + "/A.KEXT"});
    QCOMPARE(proxy.requests(), (QStringList{"install LE", "repair " + volume_, "caches " + volume_}));
    QCOMPARE(outcome.subtitle, QStringLiteral("Dropped: 3 Installed: 0 Failed: 0"));
    QCOMPARE(outcome.informativeText, QLLocalizedString("kQLMainEZInstallerVCNoKextsInstalled"));
  }

  void aFixedFolderTakesAllKextsInOneRequestAndNamesTheFailures() {
    ScriptedProxy proxy;
    proxy.failing = {"B.kext", "C.kext"};
    // A.kext dropped twice is one kext and one dropped item.
    const auto outcome = run(proxy, QLKernelExtensionFolder::SystemLibraryExtensions,
                             {kexts_ + "/A.kext", kexts_ + "/B.kext", kexts_ + "/C.kext", kexts_ + "/A.kext"});
    QCOMPARE(proxy.requests().first(), QStringLiteral("install SLE A.kext B.kext C.kext"));
    QCOMPARE(outcome.title,
             QStringLiteral("Tarnix EZInstaller - ") + QLLocalizedString("kQLMainEZInstallerVCFinished"));
    QCOMPARE(outcome.subtitle, QStringLiteral("Dropped: 3 Installed: 1 Failed: 2"));
    QCOMPARE(outcome.informativeText, QLLocalizedString("kQLMainEZInstallerVCFailed") + "B.kext C.kext");
    // Without a notification service the same summary shows in a window, and the
    // application ends only once the user has read it.
    QCOMPARE(summaries_, (QList<QStringList>{{QLLocalizedString("kQLMainEZInstallerVCFinished"),
                                              outcome.subtitle + "\n" + outcome.informativeText}}));
    QCOMPARE(terminationsBeforeSummary_.size(), 1);
    QCOMPARE(terminations_, terminationsBeforeSummary_.first() + 1);
  }

  void withoutKextcacheTheCachesAreSaidToBeMarkedForRebuild() {
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(home_.path() + "/no-kextcache"));
    ScriptedProxy proxy;
    const auto outcome = run(proxy, QLKernelExtensionFolder::LibraryExtensions, {kexts_ + "/A.kext"});
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(kextcache_));
    QCOMPARE(outcome.informativeText, QLLocalizedString("kQLMainEZInstallerVCSelectedKextsInstalledCachesMarked"));
  }

  // A refused install ends the run: nothing else is asked for, and the notification says why.
  void aRefusedInstallSaysSoAndStops() {
    ScriptedProxy proxy;
    proxy.refusal = QLXPCHelperRefusal::notAuthorized();
    const auto outcome = run(proxy, QLKernelExtensionFolder::LibraryExtensions, {kexts_ + "/A.kext"});
    QCOMPARE(proxy.requests(), QStringList{"install LE A.kext"});
    QCOMPARE(outcome.subtitle, QStringLiteral("Dropped: 1 Installed: 0 Failed: 1"));
    QCOMPARE(outcome.informativeText, QLHelperRefusalText(QLXPCHelperRefusal::notAuthorized()));
  }

  void cancellingTheAskDialogSkipsOnlyThatKext() {
    ScriptedProxy proxy;
    ModalAnswerer answerer(
        {{"A.kext", "/Library/Extensions/"}, {"B.kext", "cancel"}, {"C.kext", "/System/Library/Extensions/"}});
    const auto outcome = run(proxy, QLKernelExtensionFolder::AskMeEveryTime,
                             {kexts_ + "/A.kext", kexts_ + "/B.kext", kexts_ + "/C.kext"});
    const QString ask = QLLocalizedString("kQLMainEZInstallerVCSelectInstallationFolderForKext");
    QCOMPARE(answerer.asked, (QStringList{ask + "A.kext", ask + "B.kext", ask + "C.kext"}));
    QCOMPARE(proxy.requests(),
             (QStringList{"install LE A.kext", "install SLE C.kext", "repair " + volume_, "caches " + volume_}));
    QCOMPARE(outcome.subtitle, QStringLiteral("Dropped: 3 Installed: 2 Failed: 0"));
  }

  void theSmartTableNamesEachKextsFolder() {
    writeLocalTable(smartTable("9999", {{"A.kext", "/System/Library/Extensions/"}}));
    ScriptedProxy proxy;
    run(proxy, QLKernelExtensionFolder::UseSmartTable, {kexts_ + "/A.kext", kexts_ + "/B.kext"});
    QCOMPARE(proxy.requests().mid(0, 2), (QStringList{"install SLE A.kext", "install LE B.kext"}));
  }

  void anEmptyOrUnreadableSmartTableSendsEveryKextToLibraryExtensions_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::newRow("unreadable") << QByteArray("not a property list");
    QTest::newRow("empty") << smartTable("9999", {});
    QTest::newRow("contents without version")
        << smartTable(QString(), {{"AppleHDA.kext", "/System/Library/Extensions/"}});
  }
  void anEmptyOrUnreadableSmartTableSendsEveryKextToLibraryExtensions() {
    QFETCH(QByteArray, table);
    writeLocalTable(table);
    ScriptedProxy proxy;
    run(proxy, QLKernelExtensionFolder::UseSmartTable, {kexts_ + "/AppleHDA.kext", kexts_ + "/A.kext"});
    QCOMPARE(proxy.requests().mid(0, 2), (QStringList{"install LE AppleHDA.kext", "install LE A.kext"}));
  }

  // A second collection must not start a run beside the first one: it waits, then only its
  // new kexts are installed, and one notification covers both.
  void aCollectionDuringARunWaitsForIt() {
    ScriptedProxy proxy;
    QLAppManager::shared().setProxy(&proxy);
    QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::LibraryExtensions);
    QLMainEZInstallerViewController pane;
    pane.loadView();
    const int before = terminations_;
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles),
                                               QStringList{kexts_ + "/A.kext"});
    // Posted before the first run's replies are handled.
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles),
                                               QStringList{kexts_ + "/A.kext", kexts_ + "/B.kext"});
    QTRY_COMPARE_WITH_TIMEOUT(terminations_, before + 1, kGenerousMs);
    QCOMPARE(proxy.requests(), (QStringList{"install LE A.kext", "repair " + volume_, "caches " + volume_,
                                            "install LE B.kext", "repair " + volume_, "caches " + volume_}));
    QCOMPARE(notifications_.size(), 1);
    QCOMPARE(notifications_.first().subtitle, QStringLiteral("Dropped: 2 Installed: 2 Failed: 0"));
  }

  void withoutATargetVolumeNothingIsInstalled() {
    QLOSVolumeManager::shared().setSelected(std::nullopt);
    ScriptedProxy proxy;
    QLAppManager::shared().setProxy(&proxy);
    ModalAnswerer answerer;
    QLMainEZInstallerViewController pane;
    pane.loadView();
    const int before = terminations_;
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles),
                                               QStringList{kexts_ + "/A.kext"});
    QTRY_COMPARE(terminations_, before + 1);
    QCOMPARE(answerer.informativeTexts, QStringList{QLLocalizedString("kQLMainEZInstallerNoTargetVolume")});
    QVERIFY(proxy.requests().isEmpty());
  }

  void launchBesideTheMainApplicationAlertsAndStops() {
    QLApplicationLock tarnixLock{QLatin1String(kQLTarnixIdentifier)};
    QVERIFY(tarnixLock.tryLock());
    ModalAnswerer answerer;
    AppDelegate delegate(*qApp);
    QVERIFY(!delegate.applicationWillFinishLaunching());
    QCOMPARE(answerer.texts, QStringList{QLLocalizedString("kQLEZMainIsRunning")});
  }

  void launchWithoutFilesShowsOnlyThePreferences() {
    AppDelegate delegate(*qApp);
    QVERIFY(delegate.applicationWillFinishLaunching());
    QCOMPARE(delegate.mainMenu()->actions().first()->menu()->actions().first()->text(),
             QLLocalizedString("kQLAppMainAboutTarnix"));
    delegate.applicationDidFinishLaunching();
    std::unique_ptr<QLMainEZInstallerWindowController> window(delegate.mainWindow.data());
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->contentViewController()->objectName(), QLatin1String(kQLSBIDMainEZInstallerPreference));
    QVERIFY(delegate.applicationShouldTerminateAfterLastWindowClosed());
    const int before = terminations_;
    window->close();
    QTRY_COMPARE(terminations_, before + 1);
  }

  // Opened without files, the window says how to use it and takes the files dropped on it;
  // the installer pane then takes the window over.
  void filesDroppedOnThePreferencesWindowAreInstalled() {
    ScriptedProxy proxy;
    QLAppManager::shared().setProxy(&proxy);
    QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::LibraryExtensions);
    QLEZInstallerPreferences::shared().setTargetVolumePath(volume_.toStdString());
    AppDelegate delegate(*qApp);
    QVERIFY(delegate.applicationWillFinishLaunching());
    delegate.applicationDidFinishLaunching();
    std::unique_ptr<QLMainEZInstallerWindowController> window(delegate.mainWindow.data());
    auto* preferences = qobject_cast<QLMainEZInstallerPreferenceViewController*>(window->contentViewController());
    QVERIFY(preferences);
    QCOMPARE(preferences->outletFieldUsage->text(), QLLocalizedString("kQLMainEZInstallerPreferenceVCUsage"));
    QVERIFY(preferences->outletFieldUsage->isVisible());
    const int before = terminations_;
    QVERIFY(tarnix::test::dropFiles(window.get(), {kexts_ + "/A.kext"}));
    QTRY_COMPARE(window->contentViewController()->objectName(), QLatin1String(kQLSBIDMainEZInstaller));
    QVERIFY(!delegate.applicationShouldTerminateAfterLastWindowClosed());
    QTRY_COMPARE_WITH_TIMEOUT(terminations_, before + 1, kGenerousMs);
    QCOMPARE(proxy.requests().first(), QStringLiteral("install LE A.kext"));
    QCOMPARE(notifications_.size(), 1);
  }

  // Files without a volume to go to: the user hears so at once, the files are kept, and they
  // are installed as soon as a volume is chosen in the preferences the window shows.
  void filesWithoutAVolumeWaitUntilOneIsChosen() {
    if (QLOSVolume::initWithMountPoint("/")) QSKIP("this machine's / is a macOS volume");
    ScriptedProxy proxy;
    QLAppManager::shared().setProxy(&proxy);
    QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::LibraryExtensions);
    QLEZInstallerPreferences::shared().setTargetVolumePath("");
    AppDelegate delegate(*qApp);
    QVERIFY(delegate.applicationWillFinishLaunching());
    delegate.applicationOpenFiles({kexts_ + "/A.kext"});
    const int before = terminations_;
    delegate.applicationDidFinishLaunching();
    std::unique_ptr<QLMainEZInstallerWindowController> window(delegate.mainWindow.data());
    auto* preferences = qobject_cast<QLMainEZInstallerPreferenceViewController*>(window->contentViewController());
    QVERIFY(preferences);
    QCOMPARE(tarnix::test::visibleMessageBoxes().size(), 1);
    QCOMPARE(tarnix::test::visibleMessageBoxes().first()->informativeText(),
             QLLocalizedString("kQLMainEZInstallerChooseTargetVolume"));
    QVERIFY(!delegate.timer || !delegate.timer->isActive());
    tarnix::test::closeMessageBoxes();
    QCOMPARE(terminations_, before);
    QVERIFY(proxy.requests().isEmpty());

    QVERIFY(preferences->chooseTargetVolumeAtPath(volume_));
    QTRY_COMPARE(window->contentViewController()->objectName(), QLatin1String(kQLSBIDMainEZInstaller));
    QTRY_COMPARE_WITH_TIMEOUT(terminations_, before + 1, kGenerousMs);
    QCOMPARE(proxy.requests(), (QStringList{"install LE A.kext", "repair " + volume_, "caches " + volume_}));
  }

  // A local table without a version names the file and what to do, and the built-in table
  // serves meanwhile; only a missing built-in table stops a launch in smart-table mode.
  void anUnusableSmartTableIsNamedAndTheBuiltInOneServes() {
    writeLocalTable(smartTable(QString(), {{"AppleHDA.kext", "/Library/Extensions/"}}));
    ModalAnswerer answerer;
    QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::UseSmartTable);
    QVERIFY(AppDelegate(*qApp).applicationWillFinishLaunching());
    const QString local = QString::fromStdString(QLSmartTableManager::shared().localTablePath());
    QCOMPARE(answerer.informativeTexts,
             QStringList{QLLocalizedString("kQLMainEZInstallerLocalSmartTableHasNoVersion").arg(local)});
    ScriptedProxy proxy;
    run(proxy, QLKernelExtensionFolder::UseSmartTable, {kexts_ + "/AppleHDA.kext"});
    QCOMPARE(proxy.requests().first(), QStringLiteral("install SLE AppleHDA.kext"));

    QLSmartTableManager& smartTable = QLSmartTableManager::shared();
    const auto builtIn = smartTable.informationList;
    smartTable.informationList = [] { return platform::Plist(); };
    const bool smartMode = AppDelegate(*qApp).applicationWillFinishLaunching();
    QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::LibraryExtensions);
    const bool fixedMode = AppDelegate(*qApp).applicationWillFinishLaunching();
    smartTable.informationList = builtIn;
    QVERIFY(!smartMode);
    QVERIFY(fixedMode);
  }

  void thePreferencePaneStoresEachChoice() {
    QLEZInstallerPreferences& preferences = QLEZInstallerPreferences::shared();
    preferences.setInstallationFolder(QLKernelExtensionFolder::UseSmartTable);
    preferences.setAppearanceMode(QLMainEZInstallerAppearanceMode::LightMode);
    QLMainEZInstallerPreferenceViewController pane;
    pane.loadView();
    QComboBox* folders = pane.outletButtonPopUpSelectInstallationFolder;
    QCOMPARE(folders->count(), 4);
    QCOMPARE(folders->currentIndex(), 3);
    folders->setCurrentIndex(2);
    pane.actionButtonSelectInstallationFolder();
    QCOMPARE(preferences.installationFolder(), std::optional(QLKernelExtensionFolder::AskMeEveryTime));
    QCOMPARE(QLKernelExtensionsManager::shared().installationFolder, QLKernelExtensionFolder::AskMeEveryTime);
    pane.outletButtonPopUpSelectDefaultAppearance->setCurrentIndex(1);
    pane.actionButtonSelectDefaultAppearance();
    QCOMPARE(preferences.appearanceMode(), QLMainEZInstallerAppearanceMode::DarkMode);

    // The target volume follows the volume chooser's rules.
    QTemporaryDir plain;
    const QString recovery = home_.path() + "/recovery";
    QVERIFY(makeMacVolume(recovery, true));
    preferences.setTargetVolumePath(volume_.toStdString());
    for (const QString& refused : {plain.path(), recovery}) {
      ModalAnswerer answerer;
      pane.show();
      QVERIFY(!pane.chooseTargetVolumeAtPath(refused));
      QTRY_COMPARE(answerer.informativeTexts.size(), 1);
      QCOMPARE(preferences.targetVolumePath().value_or(""), volume_.toStdString());
    }
    const QString other = home_.path() + "/other";
    QVERIFY(makeMacVolume(other));
    QVERIFY(pane.chooseTargetVolumeAtPath(other));
    QCOMPARE(preferences.targetVolumePath().value_or(""), other.toStdString());
    if (!QLOSVolume::initWithMountPoint("/")) QVERIFY(pane.outletFieldTargetVolume->text().startsWith(other));
  }

  // The program itself: a second launch finds the first one's lock, hands over (here: only
  // asks for the window) and ends at once; the first runs on.
  void aSecondLaunchHandsOverToTheFirst() {
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString program = QStringLiteral(TARNIX_BINARY_DIR "/ezinstaller/tarnix-ezinstaller");
    QProcess first, second;
    for (QProcess* launch : {&first, &second}) {
      launch->setProcessEnvironment(environment);
      launch->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      tarnix::test::endWithThisProcess(*launch);
    }
    first.start(program);
    QVERIFY(first.waitForStarted(kGenerousMs));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime.path() + "/local.quillon.tarnix.ezinstaller.socket"),
                             kGenerousMs);
    second.start(program);
    QVERIFY(second.waitForFinished(kGenerousMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(kGenerousMs);
  }

  // Options are answered without a display, and an unknown one is refused: taken for a
  // dropped file it would start a repair run.
  void optionsAreNotTakenForFiles_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("help") << "--help" << 0 << "Usage: tarnix-ezinstaller";
    QTest::newRow("version") << "--version" << 0 << "Tarnix EZInstaller ";
    QTest::newRow("unknown") << "--repair" << 2 << "unknown option --repair";
  }
  void optionsAreNotTakenForFiles() {
    QFETCH(QString, argument);
    QFETCH(int, status);
    QFETCH(QString, output);
    QProcessEnvironment environment;  // no display, no session: nothing may need them
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    QProcess launch;
    launch.setProcessEnvironment(environment);
    launch.setProcessChannelMode(QProcess::MergedChannels);
    launch.start(QStringLiteral(TARNIX_BINARY_DIR "/ezinstaller/tarnix-ezinstaller"), {argument});
    QVERIFY(launch.waitForFinished(kGenerousMs));
    QCOMPARE(launch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(launch.exitCode(), status);
    QVERIFY2(QString::fromUtf8(launch.readAll()).contains(output), qPrintable(output));
  }

  // The whole road: the connection sends the thread budget the user chose in the main
  // application, the smart table chooses the folders, the real helper installs, repairs and
  // rebuilds, and the notification counts what happened.
  void aRunAgainstTheRealHelperInstallsWhereTheTableSays() {
    tarnix::test::HelperDaemonProcess daemon;
    QVERIFY2(daemon.waitUntilListening(), qPrintable(daemon.log()));
    qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon.socket()));
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(daemon.path("kextcache")));
    QLAppManager::shared().preferences().setRepairPermissionsMaximumThreadsNumber(2);
    QLCPU::shared().setMaxthread(5);
    tarnix::test::RecordingProxy connecting;
    QLAppManager::shared().setProxy(&connecting);
    QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
    QLAppManager::shared().xpcManager().installAndConnect();
    // The report runs on this thread, so the real proxy is behind the recorder before it.
    connecting.inner = QLAppManager::shared().xpcManager().proxy();
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() == 1, kGenerousMs);
    QCOMPARE(connecting.requests(), (QStringList{"test2", "changeMaximumThreadsNumber 2"}));
    QCOMPARE(QLCPU::shared().maxthread(), 2);
    QLAppManager::shared().setProxy(nullptr);
    QVERIFY(QLAppManager::shared().proxy());

    cli::SampleVolumeSummary summary;
    std::string error;
    const QString volume = daemon.path("volume");
    QVERIFY2(cli::makeSampleVolume({volume.toStdString(), 60}, summary, error), error.c_str());
    QVERIFY(!QDir(volume + "/Extra").exists());
    QLOSVolumeManager::shared().setSelected(QLOSVolume::initWithMountPoint(volume.toStdString()));
    // A user's table with a version above the built-in one: allocate leaves it alone.
    writeLocalTable(smartTable("9999", {{"FakeSMC.kext", "/Library/Extensions/"},
                                        {"AppleHDA.kext", "/System/Library/Extensions/"},
                                        {"Broken.kext", "/Extra/Extensions/"}}));
    QCOMPARE(QLSmartTableManager::shared().allocate(), std::nullopt);
    const QString dropped = daemon.path("dropped");
    QStringList paths;
    for (const char* name : {"FakeSMC.kext", "AppleHDA.kext", "Unknown.kext", "Broken.kext"})
      paths << makeKext(dropped, name, QByteArray("dropped ") + name);
    QVERIFY(writeText(dropped + "/ReadMe.txt", "not a kext"));
    paths << dropped + "/ReadMe.txt";

    ScriptedProxy recorder(QLAppManager::shared().proxy());
    const auto outcome = run(recorder, QLKernelExtensionFolder::UseSmartTable, paths);
    QCOMPARE(recorder.requests(),
             (QStringList{"install LE FakeSMC.kext", "install SLE AppleHDA.kext", "install LE Unknown.kext",
                          "install /Extra/Extensions/ Broken.kext", "repair " + volume, "caches " + volume}));
    auto installed = [&](const QString& folder, const QString& name) {
      QFile binary(volume + folder + name + "/Contents/MacOS/binary");
      return binary.open(QIODevice::ReadOnly) && binary.readAll() == "dropped " + name.toUtf8();
    };
    QVERIFY(installed("/Library/Extensions/", "FakeSMC.kext"));
    QVERIFY(installed("/System/Library/Extensions/", "AppleHDA.kext"));  // replaced the system's copy
    QVERIFY(installed("/Library/Extensions/", "Unknown.kext"));
    QVERIFY(!QFileInfo::exists(volume + "/Extra/Extensions/Broken.kext"));
    QFileInfo placed(volume + "/Library/Extensions/FakeSMC.kext/Contents/MacOS/binary");
    // 0:0 and 0755 (owner, and user as the owner, rwx; group and others r-x).
    if (::geteuid() == 0) {
      QCOMPARE(placed.ownerId(), 0u);
      QCOMPARE(placed.permissions(), QFileDevice::Permissions(0x7755));
    }
    QVERIFY(recorder.repairResults > 0);  // the sample's wrong owners and modes were repaired
    QVERIFY(daemon.calls("kextcache").contains(volume));
    QCOMPARE(outcome.subtitle, QStringLiteral("Dropped: 5 Installed: 3 Failed: 1"));
    QCOMPARE(outcome.informativeText, QLLocalizedString("kQLMainEZInstallerVCFailed") + "Broken.kext");
    QLAppManager::shared().setProxy(nullptr);
    qunsetenv("TARNIX_HELPER_SOCKET");
    qputenv("TARNIX_KEXTCACHE", QFile::encodeName(kextcache_));
  }

 private:
  // Runs the installer pane over `paths` to its end; the notification it posted.
  QLUserNotification run(ScriptedProxy& proxy, QLKernelExtensionFolder folder, const QStringList& paths) {
    QLAppManager::shared().setProxy(&proxy);
    QLEZInstallerPreferences::shared().setInstallationFolder(folder);
    QLMainEZInstallerViewController pane;
    pane.loadView();
    pane.show();
    const int before = terminations_;
    notifications_.clear();
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles), paths);
    if (!QTest::qWaitFor([&] { return terminations_ > before; }, kGenerousMs) || notifications_.size() != 1) {
      QTest::qFail("the run did not end with one notification", __FILE__, __LINE__);
      return {};
    }
    return notifications_.first();
  }

  void writeLocalTable(const QByteArray& table) {
    QVERIFY(writeText(QString::fromStdString(QLSmartTableManager::shared().localTablePath()), table));
  }

  QTemporaryDir home_;
  QString volume_, kexts_, kextcache_;
  QList<QLUserNotification> notifications_;
  QTimer summaryAnswerer_;
  QList<QStringList> summaries_;
  QList<int> terminationsBeforeSummary_;
  int terminations_ = 0;
};

QTEST_MAIN(EZInstallerGuiTest)
#include "EZInstallerGuiTest.moc"
