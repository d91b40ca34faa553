// The Command Line Tools pane offscreen against the real helper, which installs into a
// temporary root, with the feed, the archive and its signature served over HTTP on 127.0.0.1.
// The helper's packaged copy is the integrated one built here, its feed key the tests' own.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <filesystem>
#include <map>

#include "AppTestSupport.h"
#include "SigningSupport.h"
#include "ZipSupport.h"
#include "app/QLMainCommandLineToolsViewController.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLSupportFolders.h"
#include "ui/QLAppManager.h"

using namespace tarnix;
using test::closeMessageBoxes;
using test::kGenerousMs;

namespace {

// Answers GET requests from a table of paths; everything else is 404.
class HttpServer : public QObject {
 public:
  HttpServer() {
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  bool listen() { return server_.listen(QHostAddress::LocalHost); }
  QString url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
  }
  std::map<QString, QByteArray> files;
  QStringList requested;

 private:
  void answer(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    if (!buffer.contains("\r\n\r\n")) return;
    const QList<QByteArray> words = buffer.left(buffer.indexOf("\r\n")).split(' ');
    pending_.erase(socket);
    const QString path = words.size() > 1 ? QString::fromUtf8(words[1]) : QString();
    requested << path;
    const auto found = files.find(path);
    const QByteArray body = found != files.end() ? found->second : QByteArray("not found");
    const QByteArray status = found != files.end() ? "200 OK" : "404 Not Found";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
  }
  QTcpServer server_;
  std::map<QTcpSocket*, QByteArray> pending_;
};

QByteArray feed(const QString& version, const QString& url) {
  QByteArray list = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
  if (!version.isEmpty()) list += "<key>Version</key><string>" + version.toUtf8() + "</string>";
  list += "<key>URL</key><string>" + url.toUtf8() + "</string></dict></plist>";
  return list;
}

QByteArray zipped(const std::vector<test::ZipEntry>& entries, const QString& scratch) {
  if (!test::writeZip(scratch.toStdString(), entries)) return {};
  QFile file(scratch);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString label(const char* key, const QString& version) { return QLLocalizedString(key) + version; }

QByteArray signatureOf(const QByteArray& archive, const test::SigningKey& key = test::SigningKey()) {
  return QByteArray::fromStdString(key.sign(archive.toStdString()));
}

}  // namespace

class CommandLineToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    test::useTemporaryUserFolders(home_.path());
    for (const char* variable : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
      qunsetenv(variable);
    // The pane looks for the installed tool where the helper puts it, and offers upgrades
    // only with a key to check them.
    qputenv("TARNIX_ROOT_PREFIX", QFile::encodeName(daemon_.path("root")));
    qputenv("TARNIX_BRAMBLE_KEY", QByteArray::fromStdString(test::SigningKey().publicKeyBase64()));
    QVERIFY(QLInstallStringTable(*QCoreApplication::instance()));
    QVERIFY(QLSupportFolders::create());
    QVERIFY(http_.listen());
    QVERIFY2(daemon_.waitUntilListening(), qPrintable(daemon_.log()));
    qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon_.socket()));
    QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
    QLAppManager::shared().xpcManager().installAndConnect();
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() == 1, kGenerousMs);
    installed_ = daemon_.path("root") + QLatin1String(QLCommandLineTool::kLocalPath);
  }

  void init() {
    QFile::remove(installed_);
    http_.files.clear();
    http_.requested.clear();
    QCoreApplication::instance()->setProperty("QLBrambleRSS", http_.url("/feed.plist"));
  }
  void cleanup() { closeMessageBoxes(); }

  // The built integrated copy is found beside the build, installed by the helper and removed
  // again; a second removal fails.
  void installsAndUninstallsTheIntegratedCopy() {
    auto pane = makePane();
    QCOMPARE(QFileInfo(pane->integratedPath).canonicalFilePath(),
             QFileInfo(QStringLiteral(TARNIX_INTEGRATED_BRAMBLE)).canonicalFilePath());
    QCOMPARE(pane->outletFieldIntegratedCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCCurrentVersion", QStringLiteral(TARNIX_VERSION)));
    QCOMPARE(pane->outletButtonIntegratedCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusAvailable"));
    QCOMPARE(pane->outletFieldLocalCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCInstalledVersion", "N/A"));
    QCOMPARE(pane->outletButtonLocalCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusUnavailable"));
    QVERIFY(!pane->outletButtonUninstall->isEnabled());  // nothing to uninstall

    pane->outletButtonInstall->click();
    expectPresented(*pane, false, "kQLMainCommandLineToolsVCBrambleInstalled");
    QVERIFY(QFileInfo(installed_).isFile());
    // Installed as the helper installs programs here: root's, mode 0755.
    QCOMPARE(std::filesystem::status(installed_.toStdString()).permissions(), std::filesystem::perms(0755));
    QCOMPARE(QFileInfo(installed_).ownerId(), 0u);
    QCOMPARE(QFileInfo(installed_).groupId(), 0u);
    QCOMPARE(pane->outletFieldLocalCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCInstalledVersion", QStringLiteral(TARNIX_VERSION)));
    QCOMPARE(pane->outletButtonLocalCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusAvailable"));
    QVERIFY(daemon_.calls("killall").contains("Bramble\n"));
    QVERIFY(pane->outletCircularIndicator->isHidden());
    QVERIFY(pane->outletButtonUninstall->isEnabled());
    closeMessageBoxes();

    pane->outletButtonUninstall->click();
    expectPresented(*pane, false, "kQLMainCommandLineToolsVCBrambleUninstalled");
    QVERIFY(!QFileInfo::exists(installed_));
    QCOMPARE(pane->outletFieldLocalCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCInstalledVersion", "N/A"));
    QCOMPARE(pane->outletButtonLocalCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusUnavailable"));
    closeMessageBoxes();

    QVERIFY(!pane->outletButtonUninstall->isEnabled());
    // A removal that fails all the same says so.
    pane->actionButtonUninstall();
    expectPresented(*pane, true, "kQLMainCommandLineToolsVCBrambleFailedToUninstall");
    QVERIFY(!pane->outletButtonUninstall->isEnabled());
  }

  // The feed announces a version; Upgrade downloads the archive and its signature, the helper
  // checks it and installs the tool from it, and the downloaded items are cleaned up.
  void upgradesFromTheFeed() {
    http_.files["/feed.plist"] = feed("9.9.9", http_.url("/downloads/Bramble-9.9.9.zip"));
    http_.files["/downloads/Bramble-9.9.9.zip"] =
        zipped({{"Bramble", test::toolScript("9.9.9"), 0100755}, {"CHANGES", "all of them"}}, home_.path() + "/z.zip");
    http_.files["/downloads/Bramble-9.9.9.zip.sig"] = signatureOf(http_.files["/downloads/Bramble-9.9.9.zip"]);
    auto pane = makePane();
    QCOMPARE(pane->outletFieldRemoteCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCLatestVersion", "9.9.9"));
    QCOMPARE(pane->outletButtonRemoteCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusAvailable"));
    QVERIFY(pane->outletButtonUpgrade->isEnabled());

    pane->outletButtonUpgrade->click();
    expectPresented(*pane, false, "kQLMainCommandLineToolsVCBrambleUpgraded");
    QCOMPARE(http_.requested,
             (QStringList{"/feed.plist", "/downloads/Bramble-9.9.9.zip", "/downloads/Bramble-9.9.9.zip.sig"}));
    QCOMPARE(QString::fromStdString(*readFile(installed_)), QString::fromStdString(test::toolScript("9.9.9")));
    QCOMPARE(pane->outletFieldLocalCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCInstalledVersion", "9.9.9"));
    const QString updates = QLSupportFolders::updatesFolder();
    QVERIFY(!QFileInfo::exists(updates + "/Bramble-9.9.9.zip"));
    QVERIFY(!QFileInfo::exists(updates + "/Bramble-9.9.9.zip.sig"));
    QVERIFY(!QFileInfo::exists(updates + "/Bramble"));
    QVERIFY(pane->outletButtonUpgrade->isEnabled());
  }

  // Each way an upgrade can fail ends in one alert, and the helper installs nothing: an archive
  // it cannot check (or that another key signed) is refused whatever it holds.
  void upgradeFailures_data() {
    QTest::addColumn<QString>("announced");  // the URL the feed names, relative to the server
    QTest::addColumn<bool>("served");
    QTest::addColumn<QString>("signature");  // "good", "other" (another key's) or "none"
    QTest::addColumn<QString>("reason");     // after the failure text; none when the helper refused
    QTest::newRow("the archive is not there") << "/downloads/Bramble.zip" << false << "good"
                                              << "kQLMainCommandLineToolsVCFailedToReadDownloadedData";
    QTest::newRow("no signature") << "/downloads/Bramble.zip" << true << "none"
                                  << "kQLMainCommandLineToolsVCFailedToReadDownloadedData";
    QTest::newRow("another key signed it") << "/downloads/Bramble.zip" << true << "other"
                                           << "";
    QTest::newRow("the feed names no file") << "" << false << "good"
                                            << "kQLMainCommandLineToolsVCFailedToFetchURLFromRemoteServer";
  }
  void upgradeFailures() {
    QFETCH(QString, announced);
    QFETCH(bool, served);
    QFETCH(QString, signature);
    QFETCH(QString, reason);
    http_.files["/feed.plist"] = feed("9.9.9", announced.isEmpty() ? QString() : http_.url(announced));
    if (served) {
      const QByteArray archive = zipped({{"Bramble", test::toolScript("9.9.9"), 0100755}}, home_.path() + "/z.zip");
      http_.files[announced] = archive;
      if (signature != "none")
        http_.files[announced + ".sig"] =
            signature == "good" ? signatureOf(archive) : signatureOf(archive, test::SigningKey(7));
    }
    auto pane = makePane();
    QVERIFY(pane->outletButtonUpgrade->isEnabled());
    pane->outletButtonUpgrade->click();
    QTRY_VERIFY_WITH_TIMEOUT(pane->presentedMessage(), kGenerousMs);
    QMessageBox* box = pane->presentedMessage();
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QString expected = QLLocalizedString("kQLMainCommandLineToolsVCBrambleFailedToUpgrade");
    if (!reason.isEmpty()) expected += ' ' + QLLocalizedString(reason.toUtf8().constData());
    QCOMPARE(box->informativeText(), expected);
    QVERIFY(!QFileInfo::exists(installed_));
    QVERIFY(!QFileInfo::exists(QLSupportFolders::updatesFolder() + "/Bramble.zip"));
    QVERIFY(pane->outletButtonUpgrade->isEnabled());
    QVERIFY(pane->outletCircularIndicator->isHidden());
  }

  // Versions that cannot be used: a two-part answer, a missing copy, a feed without a version
  // or without a server answer.
  void unusableVersions() {
    const QString twoParts = home_.path() + "/two-parts";
    QFile script(twoParts);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QByteArray::fromStdString(test::toolScript("2.1")));
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    http_.files["/feed.plist"] = feed(QString(), http_.url("/downloads/Bramble.zip"));
    auto pane = makePane(twoParts);
    QCOMPARE(pane->outletFieldIntegratedCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCCurrentVersion", "N/S"));
    QCOMPARE(pane->outletFieldRemoteCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCLatestVersion", "N/A"));
    QCOMPARE(pane->outletButtonRemoteCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusUnavailable"));
    QVERIFY(!pane->outletButtonUpgrade->isEnabled());

    http_.files.clear();
    auto missing = makePane(home_.path() + "/no-such-tool");
    QCOMPARE(missing->outletFieldIntegratedCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCCurrentVersion", "N/A"));
    QCOMPARE(missing->outletButtonIntegratedCommandLineToolStatusImage->property("status").toString(),
             QStringLiteral("NSStatusUnavailable"));
    QCOMPARE(missing->outletFieldRemoteCommandLineToolVersion->text(),
             label("kQLMainCommandLineToolsVCLatestVersion", "N/A"));
    QVERIFY(!missing->outletButtonUpgrade->isEnabled());
  }

  void theFactoryMakesThePane() {
    std::unique_ptr<QLMainAbstractViewController> pane(
        QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDCommandLineTools)));
    QVERIFY(qobject_cast<QLMainCommandLineToolsViewController*>(pane.get()));
  }

 private:
  // A loaded pane once its three rows have been read.
  std::unique_ptr<QLMainCommandLineToolsViewController> makePane(const QString& integrated = QString()) {
    auto pane = std::make_unique<QLMainCommandLineToolsViewController>();
    if (!integrated.isEmpty()) pane->integratedPath = integrated;
    pane->loadView();
    pane->show();
    const QString checking = QLLocalizedString("kQLMainCommandLineToolsVCChecking");
    const bool read = QTest::qWaitFor(
        [&] {
          return pane->outletRemoteCommandLineToolCircularIndicator->isHidden() &&
                 !pane->outletFieldLocalCommandLineToolVersion->text().endsWith(checking) &&
                 !pane->outletFieldIntegratedCommandLineToolVersion->text().endsWith(checking);
        },
        kGenerousMs);
    if (!read) qWarning("the pane's rows were not read");
    return pane;
  }

  void expectPresented(QLMainCommandLineToolsViewController& pane, bool alert, const char* contents) {
    QTRY_VERIFY_WITH_TIMEOUT(pane.presentedMessage(), kGenerousMs);
    QMessageBox* box = pane.presentedMessage();
    QCOMPARE(box->icon(), alert ? QMessageBox::Critical : QMessageBox::Information);
    QCOMPARE(box->text(), QLLocalizedString(alert ? "kQLMainAbstractVCAnErrorOccured" : "kQLMainAbstractVCFinished"));
    QCOMPARE(box->informativeText(), QLLocalizedString(contents));
  }

  static std::optional<std::string> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll().toStdString();
  }

  QTemporaryDir home_;
  test::HelperDaemonProcess daemon_{
      {"TARNIX_BUNDLED_TOOL=" TARNIX_INTEGRATED_BRAMBLE,
       QString::fromStdString("TARNIX_BRAMBLE_KEY=" + test::SigningKey().publicKeyBase64())}};
  HttpServer http_;
  QString installed_;
};

QTEST_MAIN(CommandLineToolsTest)
#include "CommandLineToolsTest.moc"
