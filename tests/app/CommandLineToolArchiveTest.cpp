// The tool's versions and feed, and unpacking a downloaded archive: nothing may land outside
// the Updates folder, and only the tool itself is handed on.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ZipSupport.h"
#include "app/core/QLCommandLineTool.h"
#include "app/core/QLCommandLineToolArchive.h"

using namespace tarnix;
using test::ZipEntry;

namespace {

QString read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void write(const QString& path, const QByteArray& contents, QFileDevice::Permissions permissions = {}) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(contents);
  file.close();
  if (permissions) file.setPermissions(permissions);
}

QStringList everything(const QString& folder) {
  QStringList found;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) found << it.next().mid(folder.size() + 1);
  found.sort();
  return found;
}

}  // namespace

class CommandLineToolArchiveTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    updates_ = dir_->path() + "/Updates";
    outside_ = dir_->path() + "/outside";
    QVERIFY(QDir().mkpath(updates_) && QDir().mkpath(outside_));
    archive_ = dir_->path() + "/Bramble.zip";
  }

  void versionsAreShownOnlyInThreeParts_data() {
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("shown");
    QTest::newRow("release") << QByteArray("1.0.0\n") << "1.0.0";
    QTest::newRow("two parts") << QByteArray("2.1\n") << "N/S";
    QTest::newRow("four parts") << QByteArray("1.2.3.4") << "N/S";
    QTest::newRow("empty pieces are not parts") << QByteArray("1..2.3") << "1..2.3";
    QTest::newRow("nothing") << QByteArray() << "N/S";
  }
  void versionsAreShownOnlyInThreeParts() {
    QFETCH(QByteArray, output);
    QFETCH(QString, shown);
    QCOMPARE(QLCommandLineTool::versionFromOutput(output), shown);
  }

  // The version comes from running the file; a missing or failing one has none.
  void versionsAreReadByRunningTheTool() {
    const auto executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    write(dir_->path() + "/good", QByteArray::fromStdString(test::toolScript("3.2.1")), executable);
    write(dir_->path() + "/failing", "#!/bin/sh\necho 1.2.3\nexit 3\n", executable);
    QCOMPARE(QLCommandLineTool::versionAtPath(dir_->path() + "/good"), QStringLiteral("3.2.1"));
    QCOMPARE(QLCommandLineTool::versionAtPath(dir_->path() + "/failing"), QStringLiteral("N/A"));
    QCOMPARE(QLCommandLineTool::versionAtPath(dir_->path() + "/missing"), QStringLiteral("N/A"));
  }

  void theFeedIsAPropertyList() {
    const auto feed = QLCommandLineTool::parseFeed(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Version</key><string>2.0.0</string>"
        "<key>URL</key><string>https://example.org/Bramble.zip</string></dict></plist>");
    QVERIFY(feed);
    QCOMPARE(feed->version, std::optional<QString>("2.0.0"));
    QCOMPARE(feed->url, std::optional<QString>("https://example.org/Bramble.zip"));
    const auto noVersion = QLCommandLineTool::parseFeed(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>URL</key><string>x</string></dict></plist>");
    QVERIFY(noVersion && !noVersion->version);
    QVERIFY(!QLCommandLineTool::parseFeed("<html>not found</html>"));
  }

  // The whole archive lands beneath the folder, replacing what was there; the tool keeps its
  // execute bits and is the one file handed on.
  void unpacksBeneathTheFolderAndHandsOnTheTool() {
    write(updates_ + "/Bramble", "old");
    write(outside_ + "/victim", "untouched");
    QVERIFY(QFile::link(outside_ + "/victim", updates_ + "/notes.txt"));
    QVERIFY(test::writeZip(archive_, {{"Bramble", test::toolScript("9.0.0"), 0100755},
                                      {"docs/", "", 040755},
                                      {"docs/README", "read me"},
                                      {"./notes.txt", "notes"}}));
    QList<double> progress;
    const auto outcome = QLCommandLineToolArchive::unpack(archive_, updates_, "Bramble",
                                                          [&](double done) { progress << done; });
    QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
    QCOMPARE(outcome.toolPath, std::optional<QString>(updates_ + "/Bramble"));
    QCOMPARE(read(updates_ + "/Bramble"), QString::fromStdString(test::toolScript("9.0.0")));
    QVERIFY(QFileInfo(updates_ + "/Bramble").permissions() & QFileDevice::ExeOwner);
    QVERIFY(!(QFileInfo(updates_ + "/docs/README").permissions() & QFileDevice::ExeOwner));
    QCOMPARE(read(updates_ + "/docs/README"), QStringLiteral("read me"));
    // A link in the way is replaced, not written through.
    QVERIFY(!QFileInfo(updates_ + "/notes.txt").isSymLink());
    QCOMPARE(read(updates_ + "/notes.txt"), QStringLiteral("notes"));
    QCOMPARE(read(outside_ + "/victim"), QStringLiteral("untouched"));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), 1.0);
  }

  // One name that leaves the folder refuses the whole archive before anything is written.
  void namesLeavingTheFolderRefuseTheArchive_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../outside/evil";
    QTest::newRow("parent deeper in") << "docs/../../outside/evil";
    QTest::newRow("absolute") << "/tmp/tarnix-absolute-evil";
    QTest::newRow("only dots") << "./";
  }
  void namesLeavingTheFolderRefuseTheArchive() {
    QFETCH(QString, name);
    QVERIFY(!QLCommandLineToolArchive::safeEntryName(name));
    QVERIFY(test::writeZip(archive_, {{"Bramble", test::toolScript("9.0.0"), 0100755}, {name.toStdString(), "evil"}}));
    const auto outcome = QLCommandLineToolArchive::unpack(archive_, updates_, "Bramble");
    QVERIFY(!outcome.toolPath);
    QVERIFY(outcome.error.contains(name));
    QCOMPARE(everything(updates_), QStringList());
    QCOMPARE(everything(outside_), QStringList());
    QVERIFY(!QFileInfo::exists("/tmp/tarnix-absolute-evil"));
  }

  // A folder of the archive that is a link on disk is not followed.
  void aLinkedFolderIsNotFollowed() {
    QVERIFY(QFile::link(outside_, updates_ + "/docs"));
    QVERIFY(test::writeZip(archive_, {{"docs/evil", "evil"}, {"Bramble", test::toolScript("9.0.0"), 0100755}}));
    const auto outcome = QLCommandLineToolArchive::unpack(archive_, updates_, "Bramble");
    QVERIFY(!outcome.toolPath);
    QCOMPARE(everything(outside_), QStringList());
  }

  // Only a file named after the tool at the top of the archive is the tool.
  void anArchiveWithoutTheToolHandsNothingOn_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("in a folder") << "Bramble-9.0.0/Bramble";
    QTest::newRow("a folder of that name") << "Bramble/";
    QTest::newRow("another name") << "bramble";
  }
  void anArchiveWithoutTheToolHandsNothingOn() {
    QFETCH(QString, name);
    QVERIFY(test::writeZip(archive_, {{name.toStdString(), "x", name.endsWith('/') ? 040755u : 0100755u}}));
    const auto outcome = QLCommandLineToolArchive::unpack(archive_, updates_, "Bramble");
    QVERIFY(!outcome.toolPath);
    QVERIFY(!outcome.error.isEmpty());
  }

  void aFileThatIsNoArchiveIsRefused() {
    write(archive_, "<html>404</html>");
    const auto outcome = QLCommandLineToolArchive::unpack(archive_, updates_, "Bramble");
    QVERIFY(!outcome.toolPath);
    QVERIFY(!outcome.error.isEmpty());
    QCOMPARE(everything(updates_), QStringList());
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString updates_;
  QString outside_;
  QString archive_;
};

QTEST_GUILESS_MAIN(CommandLineToolArchiveTest)
#include "CommandLineToolArchiveTest.moc"
