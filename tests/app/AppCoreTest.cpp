// The Qt-Core-only part of the application: results model, settings, locks, texts.
#include <QAbstractItemModelTester>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "app/core/QLApplicationLock.h"
#include "app/core/QLDetailedResultsTableModel.h"
#include "app/core/QLInterfaceText.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLSettingsPreferenceStore.h"
#include "model/QLPreferences.h"

using namespace tarnix;

namespace {

QLRepairPermissionsRepresentableResult row(std::string path, std::string reason, std::int64_t current,
                                           std::int64_t correct, std::int64_t applied, std::string status) {
  return {path + reason, path, std::move(reason), current, correct, applied, std::move(status)};
}

}  // namespace

class AppCoreTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    // Settings, runtime and data folders of this run only.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/data"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home_.path()));
    QVERIFY(QLInstallStringTable(*QCoreApplication::instance()));
  }

  void resultsModelShowsEachResultInOrderWithItsSixCells() {
    auto result = std::make_shared<QLDetailedRepresentableResult>(
        QStringLiteral("QLUIMain"), QStringLiteral("t"), QStringLiteral("d"),
        std::vector<QLRepairPermissionsRepresentableResult>{
            row("/z/last-first", "POSIX Permissions Mismatched", 777, 4755, 4755, "Fixed"),
            row("/a/second", "Owner ID Mismatched", 501, 0, 0, "Failed"),
            row("/m/third", "Group ID Mismatched", 20, 80, 80, "Verified"),
        });
    QLDetailedResultsTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setResult(result);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 6);
    QCOMPARE(
        QLDetailedResultsTableModel::columnIdentifiers(),
        (QStringList{"QLIDPath", "QLIDReason", "QLIDCurrentValue", "QLIDCorrectValue", "QLIDNewValue", "QLIDStatus"}));
    auto cells = [&](int r) {
      QStringList texts;
      for (int c = 0; c < model.columnCount(); ++c) texts << model.index(r, c).data().toString();
      return texts;
    };
    // Never sorted; permission digits print as they came, ids as plain numbers.
    QCOMPARE(cells(0), (QStringList{"/z/last-first", "POSIX Permissions Mismatched", "777", "4755", "4755", "Fixed"}));
    QCOMPARE(cells(1), (QStringList{"/a/second", "Owner ID Mismatched", "501", "0", "0", "Failed"}));
    QCOMPARE(cells(2), (QStringList{"/m/third", "Group ID Mismatched", "20", "80", "80", "Verified"}));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("File"));
    QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QStringLiteral("Status"));

    // Large ids print without grouping.
    QCOMPARE(QLDetailedResultsTableModel::cellText(row("/p", "Owner ID Mismatched", 4294967294, 0, 0, "Fixed"),
                                                   QStringLiteral("QLIDCurrentValue")),
             QStringLiteral("4294967294"));
    // An identifier that is not one of the six gives an empty cell, and nothing stops.
    QCOMPARE(QLDetailedResultsTableModel::cellText(result->results[0], QStringLiteral("QLIDOwner")), QString());

    // OK empties the list the pane still holds.
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(result->results.empty());
  }

  void resultsModelShowsAnUnknownHelperTextAsItCame() {
    // Only another helper build could send it; the window shows it instead of ending.
    QCOMPARE(QLDetailedResultsTableModel::reasonText("fixed"), QStringLiteral("fixed"));
    QCOMPARE(QLDetailedResultsTableModel::statusText("Repaired"), QStringLiteral("Repaired"));
  }

  void urlToPathDropsTheSchemeAndDecodesBlanksOnly_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("blanks") << "file:///Volumes/My%20Disk/"
                            << "/Volumes/My Disk/";
    QTest::newRow("other escapes stay") << "file:///media/Caf%C3%A9%20HD/"
                                        << "/media/Caf%C3%A9 HD/";
    QTest::newRow("file") << "file:///home/u/table.plist"
                          << "/home/u/table.plist";
    QTest::newRow("short") << "file:"
                           << "";
  }
  void urlToPathDropsTheSchemeAndDecodesBlanksOnly() {
    QFETCH(QString, url);
    QFETCH(QString, path);
    QCOMPARE(QLInterfaceText::pathFromURLString(url), path);
  }

  void datesFormatForTextAndFileNames() {
    const QDateTime date(QDate(2018, 3, 7), QTime(9, 5, 1), Qt::LocalTime);
    QCOMPARE(QLInterfaceText::dateText(date), QStringLiteral("2018.03.07 09:05:01"));
    QCOMPARE(QLInterfaceText::fileNameDateText(date), QStringLiteral("2018_03_07_09_05_01"));
    QCOMPARE(QLInterfaceText::boolText(false), QStringLiteral("false"));
  }

  // The settings file keeps text; every key reads back with its type, across a new store.
  void settingsKeepTypesAndSecondLaunchKeepsUserChoices() {
    {
      QLSettingsPreferenceStore store(QStringLiteral("tarnix.test.types"));
      store.removeAll();
      QLPreferences preferences(store);
      preferences.registerDefaults("/home/u/.local/share/Tarnix", 8);
      preferences.setPreferredKextsBackupFolderURL("file:///srv/My%20Backups/");
      preferences.setRepairPermissionsMaximumThreadsNumber(3);
      preferences.setSilenceSIPWarning(true);
    }
    QLSettingsPreferenceStore store(QStringLiteral("tarnix.test.types"));
    QLPreferences preferences(store);
    preferences.registerDefaults("/home/u/.local/share/Tarnix", 8);
    QCOMPARE(preferences.preferredKextsBackupFolderURL().value_or(""), std::string("file:///srv/My%20Backups/"));
    QCOMPARE(preferences.repairPermissionsMaximumThreadsNumber().value_or(0), 3);
    QVERIFY(preferences.silenceSIPWarning());
    QVERIFY(preferences.enableEZInstallationMode());
    QVERIFY(std::holds_alternative<bool>(*store.value("QLEnableEZInstallationMode")));
    QVERIFY(std::holds_alternative<std::int64_t>(*store.value("QLRepairPermissionsMaximumThreadsNumber")));

    // A value edited by hand into something its type cannot read counts as absent, and the
    // next launch leaves it in the file: only a key with no value at all takes the default.
    {
      QSettings edited(store.fileName(), QSettings::IniFormat);
      edited.setValue("QLRepairPermissionsMaximumThreadsNumber", "four");
      edited.setValue("QLEnableEZInstallationMode", "yes");
    }
    QLSettingsPreferenceStore reread(QStringLiteral("tarnix.test.types"));
    QVERIFY(!reread.value("QLRepairPermissionsMaximumThreadsNumber"));
    QLPreferences(reread).registerDefaults("/home/u/.local/share/Tarnix", 8);
    QVERIFY(!QLPreferences(reread).repairPermissionsMaximumThreadsNumber());
    QVERIFY(QLPreferences(reread).enableEZInstallationMode());
    QSettings file(store.fileName(), QSettings::IniFormat);
    QCOMPARE(file.value("QLRepairPermissionsMaximumThreadsNumber").toString(), QStringLiteral("four"));
    QCOMPARE(file.value("QLEnableEZInstallationMode").toString(), QStringLiteral("yes"));

    store.removeAll();
    QVERIFY(!store.value("QLSilenceSIPWarning"));
    QLPreferences(store).registerDefaults("/home/u/.local/share/Tarnix", 8);
    QCOMPARE(QLPreferences(store).preferredKextsBackupFolderURL().value_or(""),
             std::string("file:///home/u/.local/share/Tarnix/Kexts/"));
    QCOMPARE(QLPreferences(store).repairPermissionsMaximumThreadsNumber().value_or(0), 8);
  }

  void aLockIsHeldWhileItsOwnerLives() {
    const QString id = QStringLiteral("local.quillon.tarnix.test");
    QVERIFY(QLApplicationLock::lockPath(id).startsWith(home_.path()));
    QVERIFY(!QLApplicationLock::isHeld(id));
    {
      QLApplicationLock lock(id);
      QVERIFY(lock.tryLock());
      QVERIFY(QLApplicationLock::isHeld(id));
    }
    QVERIFY(!QLApplicationLock::isHeld(id));
    // A lock left behind by a process that has ended is not held.
    QFile stale(QLApplicationLock::lockPath(id));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\ntarnix\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    QVERIFY(!QLApplicationLock::isHeld(id));
  }

  // Every key the application's code names, and the engine's reason and status texts, have an
  // English text in the string table.
  void everyKeyInTheCodeHasAnEnglishText() {
    const QRegularExpression quotedKey(QStringLiteral("\"(kQL[A-Za-z0-9]+)\""));
    QSet<QString> keys;
    QStringList files;
    for (const char* folder : {"/app", "/bootconfig", "/client"}) {
      QDirIterator it(QStringLiteral(TARNIX_SOURCE_DIR) + QLatin1String(folder), {"*.cpp", "*.h"}, QDir::Files,
                      QDirIterator::Subdirectories);
      while (it.hasNext()) files << it.next();
    }
    for (const QString& path : files) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadOnly));
      auto matches = quotedKey.globalMatch(QString::fromUtf8(file.readAll()));
      while (matches.hasNext()) keys.insert(matches.next().captured(1));
    }
    QVERIFY2(keys.size() > 80, "the scan found the application's keys");
    for (const char* text :
         {"Owner ID Mismatched", "Group ID Mismatched", "POSIX Permissions Mismatched", "Verified", "Fixed", "Failed"})
      keys.insert(QLatin1String(text));
    QStringList missing;
    for (const QString& key : keys)
      if (!QLHasLocalizedString(key.toStdString())) missing << key;
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable("no English text: " + missing.join(", ")));
    // And the check itself: a key the table does not have is reported.
    QVERIFY(!QLHasLocalizedString("kQLNoSuchKeyAnywhere"));
    QCOMPARE(QLLocalizedString("kQLNoSuchKeyAnywhere", "fallback"), QStringLiteral("fallback"));
  }

 private:
  QTemporaryDir home_;
};

QTEST_GUILESS_MAIN(AppCoreTest)
#include "AppCoreTest.moc"
