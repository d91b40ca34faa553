// The smart table, the installer's preferences and target volume, the channel a second launch
// forwards its files through, the desktop notification and the string table; no display.
#include <QDBusConnection>
#include <QDirIterator>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <thread>

#include "EZInstallerTestSupport.h"
#include "ProcessSupport.h"
#include "app/core/QLLocalization.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLEZLocalization.h"
#include "ezinstaller/QLInstanceChannel.h"
#include "ezinstaller/QLSmartTableManager.h"
#include "ezinstaller/QLUserNotificationCenter.h"
#include "model/QLMemoryPreferenceStore.h"
#include "platform/Files.h"

using namespace tarnix;
using namespace tarnix::ezinstaller;
using namespace tarnix::ezinstaller::test;

Q_DECLARE_METATYPE(std::optional<QLSmartTableManagerError>)

namespace {

// An information list whose built-in table has `version` (none when null) and an extra key
// that must travel with it.
platform::Plist informationList(const QString& version, bool withTable = true) {
  QByteArray xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>CFBundleIdentifier</key><string>local.quillon.tarnix.ezinstaller</string>";
  if (withTable) {
    xml += "<key>QLDefaultSmartTable</key><dict><key>Comment</key><string>carried along</string>";
    if (!version.isNull()) xml += "<key>Version</key><string>" + version.toUtf8() + "</string>";
    xml += "<key>Contents</key><dict><key>FakeSMC.kext</key><string>/Library/Extensions/</string></dict></dict>";
  }
  xml += "</dict></plist>\n";
  return platform::parseDictionary(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size())));
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Stands in for the desktop's notification service on a private bus.
class FakeNotificationService final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList received;
 public slots:
  uint Notify(const QString& application, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int) {
    received << application << summary << body << hints.value("desktop-entry").toString();
    return 7;
  }
};

}  // namespace

class EZInstallerCoreTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + "/config"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home_.path()));
    QVERIFY(QLEZInstallStringTables(*QCoreApplication::instance()));
  }

  void allocateKeepsOrReplacesTheLocalTable_data() {
    QTest::addColumn<QByteArray>("local");  // empty: no local file
    QTest::addColumn<QString>("builtInVersion");
    QTest::addColumn<std::optional<QLSmartTableManagerError>>("error");
    QTest::addColumn<bool>("replaced");
    const auto none = std::optional<QLSmartTableManagerError>();
    QTest::newRow("first launch") << QByteArray() << "1" << none << true;
    // By characters: "2" sorts after "10".
    QTest::newRow("local 2, built-in 10") << smartTable("2", {}) << "10" << none << false;
    QTest::newRow("local 1, built-in 2") << smartTable("1", {}) << "2" << none << true;
    QTest::newRow("same version") << smartTable("3", {}) << "3" << none << false;
    QTest::newRow("local without version")
        << smartTable(QString(), {{"A.kext", "/Library/Extensions/"}}) << "1"
        << std::optional(QLSmartTableManagerError::failedToFindLocalTableVersion) << false;
    QTest::newRow("local not a property list")
        << QByteArray("not a plist") << "1" << std::optional(QLSmartTableManagerError::failedToFindLocalTableVersion)
        << false;
    QTest::newRow("built-in without version")
        << smartTable("1", {}) << QString() << std::optional(QLSmartTableManagerError::failedToFindInternalTableVersion)
        << false;
  }
  void allocateKeepsOrReplacesTheLocalTable() {
    QFETCH(QByteArray, local);
    QFETCH(QString, builtInVersion);
    QFETCH(std::optional<QLSmartTableManagerError>, error);
    QFETCH(bool, replaced);
    QTemporaryDir folder;
    QLSmartTableManager manager;
    manager.supportFolder = folder.path().toStdString();
    manager.informationList = [builtInVersion] { return informationList(builtInVersion); };
    const QString path = QString::fromStdString(manager.localTablePath());
    if (!local.isEmpty()) QVERIFY(writeText(path, local));

    QCOMPARE(manager.allocate(), error);
    const QByteArray after = readAll(path);
    if (replaced) {
      QVERIFY(after.contains("carried along"));  // every key of the built-in dictionary
      manager.load(path.toStdString());
      QCOMPARE(manager.version().value_or(""), builtInVersion.toStdString());
      QCOMPARE(manager.table().at("FakeSMC.kext"), std::string("/Library/Extensions/"));
    } else {
      QCOMPARE(after, local);
    }
  }

  void allocateFailsWithoutABuiltInTableOrAWritableFolder() {
    QTemporaryDir folder;
    QLSmartTableManager manager;
    manager.supportFolder = folder.path().toStdString();
    manager.informationList = [] { return informationList("1", false); };
    QCOMPARE(manager.allocate(), std::optional(QLSmartTableManagerError::failedToFindDefaultSmartTable));
    QVERIFY(!QFile::exists(QString::fromStdString(manager.localTablePath())));

    manager.informationList = [] { return informationList("1"); };
    manager.supportFolder = folder.path().toStdString() + "/missing/folder";
    QCOMPARE(manager.allocate(), std::optional(QLSmartTableManagerError::failedToAllocateDefaultSmartTable));
  }

  void loadTakesOnlyAWholeTable_data() {
    QTest::addColumn<QByteArray>("file");  // empty: no file
    QTest::addColumn<int>("entries");
    QTest::newRow("contents and version")
        << smartTable("5", {{"A.kext", "/Library/Extensions/"}, {"B.kext", "/System/Library/Extensions/"}}) << 2;
    QTest::newRow("contents without version") << smartTable(QString(), {{"A.kext", "/Library/Extensions/"}}) << 0;
    QTest::newRow("version without contents") << smartTable("5", {}, false) << 0;
    QTest::newRow("a value that is no string")
        << QByteArray(
               "<plist version=\"1.0\"><dict><key>Version</key><string>5</string><key>Contents</key>"
               "<dict><key>A.kext</key><integer>3</integer></dict></dict></plist>")
        << 0;
    QTest::newRow("not a property list") << QByteArray("garbage") << 0;
    QTest::newRow("no file") << QByteArray() << 0;
  }
  void loadTakesOnlyAWholeTable() {
    QFETCH(QByteArray, file);
    QFETCH(int, entries);
    QTemporaryDir folder;
    const QString path = folder.path() + "/table.plist";
    if (!file.isEmpty()) QVERIFY(writeText(path, file));
    QLSmartTableManager manager;
    QVERIFY(writeText(folder.path() + "/old.plist", smartTable("old", {{"Old.kext", "/Library/Extensions/"}})));
    manager.load((folder.path() + "/old.plist").toStdString());
    manager.load(path.toStdString());
    QCOMPARE(static_cast<int>(manager.table().size()), entries);
    // A table that cannot be taken leaves the version it had.
    QCOMPARE(manager.version().value_or(""), std::string(entries ? "5" : "old"));
  }

  void lookupNamesAFolderOrFallsBackToLibraryExtensions() {
    QTemporaryDir folder;
    const QString path = folder.path() + "/table.plist";
    QVERIFY(writeText(path, smartTable("1", {{"A.kext", "/System/Library/Extensions/"},
                                             {"E.kext", "/Extra/Extensions/"},
                                             {"Ask.kext", "QLKextFolderAskMeEveryTime"},
                                             {"Odd.kext", "/tmp/"}})));
    QLSmartTableManager manager;
    manager.load(path.toStdString());
    QCOMPARE(manager.folderForKext("A.kext"), QLKernelExtensionFolder::SystemLibraryExtensions);
    QCOMPARE(manager.folderForKext("E.kext"), QLKernelExtensionFolder::ExtraExtensions);
    for (const char* name : {"Unknown.kext", "a.kext", "Ask.kext", "Odd.kext"})
      QCOMPARE(manager.folderForKext(name), QLKernelExtensionFolder::LibraryExtensions);
  }

  // The table that ships: a version, and every entry a kext name with a real folder.
  void theBuiltInTableIsWellFormed() {
    const platform::Plist information = applicationInformationList();
    QVERIFY(information);
    plist_t builtIn = plist_dict_get_item(information.get(), QLSmartTableManager::kDefaultSmartTableKey);
    QVERIFY(builtIn);
    QVERIFY(platform::dictString(builtIn, "Version"));
    QTemporaryDir folder;
    QLSmartTableManager manager;
    manager.supportFolder = folder.path().toStdString();
    QCOMPARE(manager.allocate(), std::nullopt);
    manager.load(manager.localTablePath());
    QVERIFY(manager.table().size() > 40);
    for (const auto& [name, value] : manager.table()) {
      QVERIFY2(name.ends_with(".kext") && name.find('/') == std::string::npos, name.c_str());
      const auto folderValue = kernelExtensionFolderFromRawValue(value);
      QVERIFY2(folderValue && isInstallableFolder(*folderValue), value.c_str());
    }
    QCOMPARE(manager.folderForKext("FakeSMC.kext"), QLKernelExtensionFolder::LibraryExtensions);
    QCOMPARE(manager.folderForKext("AppleHDA.kext"), QLKernelExtensionFolder::SystemLibraryExtensions);
  }

  void preferencesStoreDefaultsOnlyWhereNothingIs() {
    QLMemoryPreferenceStore store;
    QLEZInstallerPreferences preferences(store);
    preferences.registerDefaults();
    QCOMPARE(preferences.installationFolder(), std::optional(QLKernelExtensionFolder::UseSmartTable));
    QCOMPARE(preferences.appearanceMode(), QLMainEZInstallerAppearanceMode::LightMode);
    preferences.setInstallationFolder(QLKernelExtensionFolder::AskMeEveryTime);
    preferences.setAppearanceMode(QLMainEZInstallerAppearanceMode::DarkMode);
    preferences.registerDefaults();
    QCOMPARE(std::get<std::string>(*store.value(kQLDefaultKextInstallationFolder)),
             std::string("QLKextFolderAskMeEveryTime"));
    QCOMPARE(std::get<std::string>(*store.value(kQLDefaultAppearanceMode)), std::string("DarkMode"));
    // A stored text that is no folder is no folder.
    store.setValue(kQLDefaultKextInstallationFolder, std::string("/library/extensions/"));
    QCOMPARE(preferences.installationFolder(), std::nullopt);
  }

  void theTargetIsTheRootOnlyWhenItIsMacOS() {
    QTemporaryDir folder;
    const QString mac = folder.path() + "/mac", other = folder.path() + "/mac2", recovery = folder.path() + "/rec";
    const QString plain = folder.path() + "/plain";
    QVERIFY(makeMacVolume(mac) && makeMacVolume(other) && makeMacVolume(recovery, true));
    QVERIFY(QDir().mkpath(plain));
    auto target = [](const QString& root, std::optional<QString> stored) {
      const auto volume =
          resolveTargetVolume(stored ? std::optional(stored->toStdString()) : std::nullopt, root.toStdString());
      return volume ? QString::fromStdString(volume->mountPoint) : QString();
    };
    QCOMPARE(target(mac, other), mac);
    QCOMPARE(target(plain, other), other);
    QCOMPARE(target(plain, std::nullopt), QString());
    QCOMPARE(target(plain, recovery), QString());
    QCOMPARE(target(recovery, plain), QString());
  }

  void aSecondLaunchHandsItsFilesOver() {
    QLInstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy received(&channel, &QLInstanceChannel::didReceiveFiles);
    bool forwarded = false;
    const QStringList paths{"/home/u/My Kexts/A.kext", "/home/u/B.kext"};
    std::thread sender([&] { forwarded = QLInstanceChannel::forward(paths); });
    QTRY_COMPARE(received.count(), 1);
    sender.join();
    QVERIFY(forwarded);
    QCOMPARE(received.first().first().toStringList(), paths);

    // A length beyond any batch is refused without a read of it.
    QLocalSocket rogue;
    rogue.connectToServer(QLInstanceChannel::socketPath());
    QVERIFY(rogue.waitForConnected(5000));
    rogue.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(64, 'x'));
    rogue.flush();
    QTRY_COMPARE(rogue.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(received.count(), 1);
  }

  void nobodyListeningMeansTheFilesWereNotTaken() {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home_.path() + "/elsewhere"));
    QDir().mkpath(home_.path() + "/elsewhere");
    QFile::setPermissions(home_.path() + "/elsewhere",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!QLInstanceChannel::forward({"/a.kext"}, 300));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home_.path()));
  }

  void theNotificationReachesTheDesktopService() {
    // The bus's socket goes in a folder of this test: the session configuration would put it
    // in /tmp, where a killed bus leaves it.
    QTemporaryDir socketFolder;
    QProcess bus;
    tarnix::test::endWithThisProcess(bus);
    bus.start("dbus-daemon",
              {"--session", "--nofork", "--print-address=1", "--address=unix:dir=" + socketFolder.path()});
    if (!bus.waitForStarted(5000)) QSKIP("dbus-daemon is not installed");
    QVERIFY(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    QDBusConnection serviceSide = QDBusConnection::connectToBus(address, "service");
    QDBusConnection clientSide = QDBusConnection::connectToBus(address, "client");
    QVERIFY(serviceSide.isConnected() && clientSide.isConnected());
    // The service answers from a thread of its own: the delivery blocks this one.
    QThread serviceThread;
    auto* service = new FakeNotificationService;
    service->moveToThread(&serviceThread);
    serviceThread.start();
    // Also when a check below fails: destroying a running thread aborts the whole run.
    const auto stop = qScopeGuard([&] {
      serviceThread.quit();
      serviceThread.wait();
      delete service;
    });
    QVERIFY(serviceSide.registerObject("/org/freedesktop/Notifications", service, QDBusConnection::ExportAllSlots));
    QVERIFY(serviceSide.registerService("org.freedesktop.Notifications"));

    // Kext names may hold characters that body markup would take for tags.
    QLUserNotification notification{"Tarnix EZInstaller - Finished", "Dropped: 2 Installed: 1 Failed: 0",
                                    "Installed A&B.kext <x>.kext"};
    QCOMPARE(QLUserNotificationCenter::defaultCenter().deliver(notification, clientSide),
             QLUserNotificationCenter::Delivery::desktop);
    serviceThread.quit();
    serviceThread.wait();
    QCOMPARE(service->received, (QStringList{"Tarnix EZInstaller", "Tarnix EZInstaller - Finished",
                                             "Dropped: 2 Installed: 1 Failed: 0\nInstalled A&amp;B.kext &lt;x&gt;.kext",
                                             "local.quillon.tarnix.ezinstaller"}));
    QDBusConnection::disconnectFromBus("service");
    QDBusConnection::disconnectFromBus("client");
    bus.kill();
    bus.waitForFinished();
  }

  void withoutABusTheNotificationStillReports() {
    QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=") + home_.path() + "/no-bus", "nowhere");
    QVERIFY(!nowhere.isConnected());
    QList<QLUserNotification> seen;
    QLUserNotificationCenter center;
    center.observer = [&](const QLUserNotification& shown) { seen << shown; };
    const QLUserNotification notification{"Title", "Dropped: 1 Installed: 0 Failed: 1", "Failed: A.kext"};
    QCOMPARE(center.deliver(notification, nowhere), QLUserNotificationCenter::Delivery::fallback);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(QLUserNotificationCenter::fallbackLine(notification),
             QStringLiteral("QLUserNotificationCenter::deliver() Title: Dropped: 1 Installed: 0 Failed: 1 - "
                            "Failed: A.kext"));
  }

  // Every key the installer's code names has an English text in one of the two tables.
  void everyKeyInTheCodeHasAnEnglishText() {
    const QRegularExpression quotedKey(QStringLiteral("\"(kQL[A-Za-z0-9]+)\""));
    QSet<QString> keys;
    QDirIterator it(QStringLiteral(TARNIX_SOURCE_DIR "/ezinstaller"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile file(it.next());
      QVERIFY(file.open(QIODevice::ReadOnly));
      auto matches = quotedKey.globalMatch(QString::fromUtf8(file.readAll()));
      while (matches.hasNext()) keys.insert(matches.next().captured(1));
    }
    QVERIFY2(keys.size() > 30, "the scan found the installer's keys");
    QStringList missing;
    for (const QString& key : keys)
      if (!QLEZHasLocalizedString(key.toStdString())) missing << key;
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable("no English text: " + missing.join(", ")));
    QVERIFY(!QLEZHasLocalizedString("kQLNoSuchKeyAnywhere"));
    QCOMPARE(QLLocalizedString("kQLMainEZInstallerVCFinished"), QStringLiteral("Finished"));
  }

 private:
  QTemporaryDir home_;
};

QTEST_GUILESS_MAIN(EZInstallerCoreTest)
#include "EZInstallerCoreTest.moc"
