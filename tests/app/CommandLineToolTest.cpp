// The tool's versions and feed, without a display. (The helper takes the tool out of a
// downloaded archive, once its signature verifies; its tests are the helper's.)
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ZipSupport.h"
#include "app/core/QLCommandLineTool.h"

using namespace tarnix;

namespace {

void write(const QString& path, const QByteArray& contents, QFileDevice::Permissions permissions = {}) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(contents);
  file.close();
  if (permissions) file.setPermissions(permissions);
}

}  // namespace

class CommandLineToolTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }

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

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(CommandLineToolTest)
#include "CommandLineToolTest.moc"
