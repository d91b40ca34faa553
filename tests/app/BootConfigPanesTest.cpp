// The SIP and Booter Config panes offscreen: their check boxes, value line and buttons over
// in-memory firmware variables, real Clover and Chameleon files, and the real helper for the
// booter word of a normal boot.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/QLBooterConfigViewController.h"
#include "app/QLBootloaderFileChooser.h"
#include "app/QLPaneFactory.h"
#include "app/QLSIPConfigViewController.h"
#include "app/core/QLLocalization.h"
#include "bootconfig/QLBootloaderConfig.h"
#include "platform/FakeFirmwareVariables.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "ui/QLAppManager.h"

using namespace tarnix;
using test::closeMessageBoxes;
using test::kGenerousMs;

namespace {

const QString kClover = QStringLiteral(TARNIX_REAL_FIXTURES "/clover/config-sample.plist");
const QString kChameleon = QStringLiteral(TARNIX_REAL_FIXTURES "/chameleon/lemu4-org.chameleon.Boot.plist");
const QString kOpenCore = QStringLiteral(TARNIX_REAL_FIXTURES "/opencore/Sample.plist");

platform::Plist readPlist(const QString& path) {
  const auto bytes = platform::readFile(path.toStdString());
  return bytes ? platform::parseDictionary(*bytes) : platform::Plist();
}

// The value under "RtVariables" of a Clover file, or nothing.
std::optional<std::string> rtVariable(const QString& path, const char* key) {
  const auto list = readPlist(path);
  if (!list) return std::nullopt;
  plist_t rt = plist_dict_get_item(list.get(), "RtVariables");
  return rt ? platform::dictString(rt, key) : std::nullopt;
}

// Everything one test needs: firmware variables, the two managers and the context over them.
struct Machine {
  platform::FakeFirmwareVariables nvram;
  std::optional<QLRootlessConfigManager> rootless;
  QLBootloaderConfigManager bootloader;
  QLBootEnvironmentType environment = QLBootEnvironmentType::Normal;
  std::optional<QLOSVersion> system;
  std::function<QLBootloaderConfigSearchResult()> search;

  explicit Machine(std::vector<std::uint8_t> sip = {}, std::vector<std::uint8_t> booter = {}) {
    if (!sip.empty()) nvram.set("csr-active-config", std::move(sip));
    if (!booter.empty()) nvram.set("bootercfg", std::move(booter));
    rootless.emplace(nvram);
  }
  QLRootlessPaneContext context() {
    return QLRootlessPaneContext{*rootless, bootloader, environment, system, nullptr, {}, {}, search, {}};
  }
  template <typename Pane>
  std::unique_ptr<Pane> pane() {
    auto made = std::make_unique<Pane>(context());
    made->loadView();
    made->show();
    return made;
  }
};

QString valueLine(const QLMainAbstractRootlessViewController& pane) { return pane.outletFieldRootlessValue->text(); }

QString expectedLine(const char* current, const char* newer) {
  return QLLocalizedString("kQLMainAbstractRootlessVCCurrentValue") + QLatin1String(current) + QStringLiteral("  \t") +
         QLLocalizedString("kQLMainAbstractRootlessVCNewValue") + QLatin1String(newer);
}

// Chooses `path` in the pane's bootloader file panel and waits for its recognition.
bool chooseFile(QLMainAbstractRootlessViewController& pane, const QString& path) {
  pane.imageButton->click();
  auto* dialog = pane.findChild<QFileDialog*>(QStringLiteral("bootloaderFileChooser"));
  if (!dialog || !dialog->isVisible()) return false;
  dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();
  return QTest::qWaitFor([&] { return pane.circularIndicator->isHidden(); }, kGenerousMs);
}

// The message shown: its form, its text, and the text of `detail` after it (its "%1", "%2"...
// standing for any value).
void expectPresented(QLMainAbstractRootlessViewController& pane, bool alert, const char* contents,
                     const char* detail = nullptr) {
  QTRY_VERIFY_WITH_TIMEOUT(pane.presentedMessage(), kGenerousMs);
  QMessageBox* box = pane.presentedMessage();
  QCOMPARE(box->icon(), alert ? QMessageBox::Critical : QMessageBox::Information);
  QCOMPARE(box->text(), QLLocalizedString(alert ? "kQLMainAbstractVCAnErrorOccured" : "kQLMainAbstractVCFinished"));
  QString expected = QRegularExpression::escape(QLLocalizedString(contents));
  if (detail)
    expected +=
        QStringLiteral("\n\n") + QRegularExpression::escape(QLLocalizedString(detail))
                                     .replace(QRegularExpression(QStringLiteral(R"(\\%[1-9])")), QStringLiteral(".+"));
  QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected)).match(box->informativeText()).hasMatch(),
           qPrintable(box->informativeText()));
}

QString copyInto(const QTemporaryDir& dir, const QString& fixture, const QString& name) {
  const QString path = dir.path() + QLatin1Char('/') + name;
  QFile::remove(path);
  return QFile::copy(fixture, path) ? path : QString();
}

}  // namespace

class BootConfigPanesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    test::useTemporaryUserFolders(home_.path());
    QVERIFY(QLInstallStringTable(*QCoreApplication::instance()));
    for (const QString& fixture : {kClover, kChameleon, kOpenCore})
      if (!QFileInfo::exists(fixture)) QSKIP("the real fixtures are missing");

    QVERIFY2(daemon_.waitUntilListening(), qPrintable(daemon_.log()));
    qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon_.socket()));
    QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
    QLAppManager::shared().xpcManager().installAndConnect();
    QTRY_VERIFY_WITH_TIMEOUT(connected.count() == 1, kGenerousMs);
  }

  void cleanup() { closeMessageBoxes(); }

  // The toolbar's identifiers make these panes now, not placeholders.
  void theFactoryMakesBothPanes() {
    std::unique_ptr<QLMainAbstractViewController> sip(
        QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDSIPConfig)));
    std::unique_ptr<QLMainAbstractViewController> booter(
        QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDBooterConfig)));
    QVERIFY(qobject_cast<QLSIPConfigViewController*>(sip.get()));
    QVERIFY(qobject_cast<QLBooterConfigViewController*>(booter.get()));
  }

  // The boxes show the word read at start; ticks build a new value from NVRAM; refresh drops it.
  void tickingBuildsANewValueAndRefreshDropsIt() {
    Machine machine({0x67, 0x00, 0x00, 0x00});
    machine.system = QLOSVersion::fromArchive(10, 11, 6, "10.11.6", "15G31");
    auto pane = machine.pane<QLSIPConfigViewController>();
    QCOMPARE(pane->boxRootlessStatus->title(), QLLocalizedString("kQLSIPConfigVCSIPStatusFull"));
    QCOMPARE(pane->outletButtonRootlessFlags[0]->text(), QLLocalizedString("kQLSIPConfigVCB0AllowUntrustedKexts"));
    QList<int> checked;
    for (int bit = 0; bit < 9; ++bit)
      if (pane->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->isChecked()) checked << bit;
    QCOMPARE(checked, (QList<int>{0, 1, 2, 5, 6}));
    // Bit 8 is meant for 10.12 and later.
    QVERIFY(!pane->outletButtonRootlessFlags[8]->isEnabled());
    QVERIFY(pane->outletButtonRootlessFlags[7]->isEnabled());
    QCOMPARE(valueLine(*pane), expectedLine("0x67 (103)", "0x0 (0)"));

    // The word changes in NVRAM after start: the current line keeps the start value, the new
    // value starts from NVRAM as it is now.
    machine.nvram.set("csr-active-config", {0x03, 0x00, 0x00, 0x00});
    pane->outletButtonRootlessFlags[4]->click();
    QCOMPARE(valueLine(*pane), expectedLine("0x67 (103)", "0x13 (19)"));
    pane->outletButtonRootlessFlags[4]->click();
    QCOMPARE(valueLine(*pane), expectedLine("0x67 (103)", "0x3 (3)"));
    QVERIFY(!pane->outletButtonRootlessFlags[4]->isChecked());

    pane->outletButtonRefresh->click();
    QCOMPARE(valueLine(*pane), expectedLine("0x67 (103)", "0x0 (0)"));
    QVERIFY(!machine.rootless->newSIPConfig());
    QVERIFY(pane->outletButtonRootlessFlags[0]->isChecked());
    QVERIFY(machine.nvram.writeCount() == 0);
  }

  void anAbsentWordShowsAsZero() {
    Machine machine;
    auto pane = machine.pane<QLBooterConfigViewController>();
    QCOMPARE(valueLine(*pane), expectedLine("0x00 (0)", "0x0 (0)"));
    QCOMPARE(pane->boxRootlessStatus->title(), QLLocalizedString("kQLBooterConfigVCBooterConfigStatusFull"));
    pane->outletButtonRootlessFlags[0]->click();
    QCOMPARE(valueLine(*pane), expectedLine("0x00 (0)", "0x1 (1)"));
  }

  // One chosen Clover file serves both panes; each writes its own key and keeps the other's.
  void bothPanesApplyThroughOneCloverFile() {
    const QString clover = copyInto(files_, kClover, "config.plist");
    QVERIFY(!clover.isEmpty());
    Machine machine({0x67, 0, 0, 0});
    auto sip = machine.pane<QLSIPConfigViewController>();
    auto booter = machine.pane<QLBooterConfigViewController>();
    QVERIFY(!sip->outletButtonApplyViaConfig->isEnabled());

    QVERIFY(chooseFile(*sip, clover));
    QVERIFY(sip->outletButtonApplyViaConfig->isEnabled());
    QCOMPARE(sip->pathField->text(), clover);
    QVERIFY(!sip->presentedMessage());
    // The booter pane takes the same file when it appears again.
    booter->hide();
    booter->show();
    QVERIFY(booter->outletButtonApplyViaConfig->isEnabled());
    QCOMPARE(booter->pathField->text(), clover);

    sip->outletButtonRootlessFlags[3]->click();
    sip->outletButtonApplyViaConfig->click();
    expectPresented(*sip, false, "kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig",
                    "kQLMainAbstractRootlessVCPreviousFileKept");
    QCOMPARE(rtVariable(clover, "CsrActiveConfig"), std::optional<std::string>("0x6f"));

    for (int bit : {3, 5}) booter->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->click();
    booter->outletButtonApplyViaConfig->click();
    expectPresented(*booter, false, "kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig",
                    "kQLMainAbstractRootlessVCPreviousFileKept");
    QCOMPARE(rtVariable(clover, "BooterConfig"), std::optional<std::string>("0x28"));
    QCOMPARE(rtVariable(clover, "CsrActiveConfig"), std::optional<std::string>("0x6f"));
    // The new value stays after an apply.
    QCOMPARE(valueLine(*booter), expectedLine("0x00 (0)", "0x28 (40)"));
    // Nothing else of the file is lost.
    const auto original = readPlist(kClover);
    const auto saved = readPlist(clover);
    QCOMPARE(plist_dict_get_size(saved.get()),
             plist_dict_get_size(original.get()) + (plist_dict_get_item(original.get(), "RtVariables") ? 0 : 1));
  }

  // Chameleon takes the SIP word as an integer and has no booter word.
  void chameleonTakesSIPAndRefusesTheBooterWord() {
    const QString chameleon = copyInto(files_, kChameleon, "org.chameleon.Boot.plist");
    Machine machine;
    auto sip = machine.pane<QLSIPConfigViewController>();
    auto booter = machine.pane<QLBooterConfigViewController>();
    QVERIFY(chooseFile(*booter, chameleon));
    QCOMPARE(booter->pathField->text(), chameleon);

    for (int bit : {0, 1}) sip->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->click();
    sip->hide();
    sip->show();
    sip->outletButtonApplyViaConfig->click();
    expectPresented(*sip, false, "kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig",
                    "kQLMainAbstractRootlessVCPreviousFileKept");
    QCOMPARE(platform::dictInteger(readPlist(chameleon).get(), "CsrActiveConfig"), std::optional<std::int64_t>(3));

    const auto before = platform::readFile(chameleon.toStdString());
    booter->outletButtonRootlessFlags[1]->click();
    booter->outletButtonApplyViaConfig->click();
    expectPresented(*booter, true, "kQLBooterConfigVCBooterConfigNotSupportedByChameleon");
    QCOMPARE(platform::readFile(chameleon.toStdString()), before);
  }

  // OpenCore's file shows its own words beside NVRAM's, and takes both words.
  void openCoreShowsItsWordsAndTakesBoth() {
    QTemporaryDir esp(files_.path() + "/XXXXXX");
    QVERIFY(QDir(esp.path()).mkpath("EFI/OC"));
    const QString config = copyInto(esp, kOpenCore, "EFI/OC/config.plist");
    Machine machine({0x03, 0, 0, 0});
    auto sip = machine.pane<QLSIPConfigViewController>();
    auto booter = machine.pane<QLBooterConfigViewController>();
    QVERIFY(sip->outletFieldBootloaderWord->isHidden());
    QVERIFY(chooseFile(*sip, config));
    QVERIFY(!sip->presentedMessage());
    QCOMPARE(sip->pathField->text(), config);
    QVERIFY(sip->outletFieldBootloaderWord->isVisible());
    QCOMPARE(sip->outletFieldBootloaderWord->text(), QStringLiteral("config.plist: 0x0 (0)"));
    booter->hide();
    booter->show();
    QCOMPARE(booter->outletFieldBootloaderWord->text(),
             "config.plist: " + QLLocalizedString("kQLMainAbstractRootlessVCConfigWordNotSet"));

    for (int bit : {5, 6}) sip->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->click();
    sip->outletButtonApplyViaConfig->click();
    expectPresented(*sip, false, "kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig",
                    "kQLMainAbstractRootlessVCPreviousFileKept");
    QCOMPARE(sip->outletFieldBootloaderWord->text(), QStringLiteral("config.plist: 0x63 (99)"));
    closeMessageBoxes();
    booter->outletButtonRootlessFlags[3]->click();
    booter->outletButtonApplyViaConfig->click();
    expectPresented(*booter, false, "kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig",
                    "kQLMainAbstractRootlessVCPreviousFileKept");
    QCOMPARE(booter->outletFieldBootloaderWord->text(), QStringLiteral("config.plist: 0x8 (8)"));
    // The sample as it was, then after the SIP save, kept beside it.
    QCOMPARE(QDir(esp.path() + "/EFI/OC").entryList({"config-*.plist"}, QDir::Files).size(), 2);
    const auto saved = readPlist(config);
    plist_t deleted = plist_dict_get_item(plist_dict_get_item(plist_dict_get_item(saved.get(), "NVRAM"), "Delete"),
                                          "7C436110-AB2A-4BBB-A880-FE41995C9F82");
    QCOMPARE(plist_array_get_size(deleted), 4u);  // boot-args, ForceDisplayRotationInEFI and the two words
  }

  // The chooser offers the files found on the mounted EFI partitions, and says how to mount one.
  void theChooserOffersTheFilesFound() {
    QTemporaryDir tree(files_.path() + "/XXXXXX");
    QVERIFY(QDir(tree.path()).mkpath("esp/EFI/OC") && QDir(tree.path()).mkpath("esp/EFI/CLOVER"));
    const QString openCore = copyInto(tree, kOpenCore, "esp/EFI/OC/config.plist");
    const QString clover = copyInto(tree, kClover, "esp/EFI/CLOVER/config.plist");
    const std::string mountInfo = "20 1 8:1 / " + tree.path().toStdString() + "/esp rw - vfat /dev/sda1 rw\n";
    Machine machine;
    bool mounted = true;
    machine.search = [&, mountInfo] {
      QLBootloaderConfigPlaces places;
      if (mounted) places.mounts = platform::parseMountInfo(mountInfo);
      places.efiSystemPartitions = {{"/dev/sda1", "8:1"}};
      return QLBootloaderConfigSearch::search(places);
    };
    auto sip = machine.pane<QLSIPConfigViewController>();
    sip->imageButton->click();
    auto* chooser = sip->findChild<QLBootloaderFileChooser*>(QStringLiteral("bootloaderConfigChooser"));
    QVERIFY(chooser && chooser->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(chooser->outletListFound->count(), 2, kGenerousMs);
    QVERIFY(chooser->outletListFound->item(0)->text().endsWith(openCore));
    QVERIFY(chooser->outletListFound->item(1)->text().endsWith(clover));
    QVERIFY(chooser->outletFieldHints->isHidden());
    chooser->outletListFound->setCurrentRow(1);
    chooser->outletButtonChoose->click();
    QTRY_VERIFY_WITH_TIMEOUT(sip->circularIndicator->isHidden(), kGenerousMs);
    QCOMPARE(sip->pathField->text(), clover);
    QCOMPARE(sip->outletFieldBootloaderWord->text(), QStringLiteral("config.plist: 0xa87 (2695)"));
    QVERIFY(sip->outletButtonApplyViaConfig->isEnabled());

    // The partition unmounted: nothing found, and the command that mounts it.
    mounted = false;
    sip->imageButton->click();
    chooser = sip->findChild<QLBootloaderFileChooser*>(QStringLiteral("bootloaderConfigChooser"));
    QVERIFY(chooser);
    QTRY_VERIFY_WITH_TIMEOUT(chooser->outletFieldHints->isVisible(), kGenerousMs);
    QCOMPARE(chooser->outletListFound->count(), 0);
    QVERIFY(!chooser->outletButtonChoose->isEnabled());
    QVERIFY(chooser->outletFieldHints->text().contains("udisksctl mount -b /dev/sda1"));
    // Mounted again, a second search finds the files.
    mounted = true;
    chooser->outletButtonSearchAgain->click();
    QTRY_COMPARE_WITH_TIMEOUT(chooser->outletListFound->count(), 2, kGenerousMs);
    QVERIFY(chooser->outletFieldHints->isHidden());

    // Browse opens the open panel; cancelling it returns to the chooser, cancelling that changes nothing.
    chooser->outletButtonBrowse->click();
    auto* panel = chooser->findChild<QFileDialog*>(QStringLiteral("bootloaderFileChooser"));
    QVERIFY(panel && panel->isVisible());
    panel->reject();
    QVERIFY(chooser->isVisible());
    chooser->reject();
    QTRY_VERIFY(sip->circularIndicator->isHidden());
    QCOMPARE(sip->pathField->text(), clover);
    QVERIFY(!sip->presentedMessage());
  }

  // A write to NVRAM that fails says why.
  void aFailedNVRAMWriteSaysWhy() {
    Machine machine;
    machine.environment = QLBootEnvironmentType::Recovery;
    auto sip = machine.pane<QLSIPConfigViewController>();
    sip->outletButtonRootlessFlags[0]->click();
    machine.nvram.failWrites(EROFS);
    sip->outletButtonApplyViaNVRAM->click();
    expectPresented(*sip, true, "kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM",
                    "kQLMainAbstractRootlessVCNVRAMReadOnly");
  }

  // A file of neither bootloader is refused and the previous choice stays.
  void anUnknownFileIsRefused() {
    const QString other = files_.path() + "/other.plist";
    QVERIFY(platform::writeFile(other.toStdString(),
                                "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Name</key>"
                                "<string>x</string></dict></plist>") == 0);
    Machine machine;
    auto sip = machine.pane<QLSIPConfigViewController>();
    QVERIFY(chooseFile(*sip, other));
    expectPresented(*sip, true, "kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration");
    QVERIFY(!sip->outletButtonApplyViaConfig->isEnabled());
    QVERIFY(!machine.bootloader.currentConfig());

    // Cancelling the panel only stops the indicator.
    closeMessageBoxes();
    sip->imageButton->click();
    auto* dialog = sip->findChild<QFileDialog*>(QStringLiteral("bootloaderFileChooser"));
    QVERIFY(dialog);
    QVERIFY(sip->circularIndicator->isVisible());
    dialog->reject();
    QTRY_VERIFY(sip->circularIndicator->isHidden());
    QVERIFY(!sip->presentedMessage());
  }

  // The remaining messages of both panes, by what the user does in which boot.
  void eachMessageOfThePanes_data() {
    QTest::addColumn<bool>("booter");
    QTest::addColumn<int>("environment");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("action");  // nvram, config, config-unsaved
    QTest::addColumn<bool>("alert");
    QTest::addColumn<QString>("contents");
    QTest::addColumn<QString>("detail");
    const int normal = static_cast<int>(QLBootEnvironmentType::Normal);
    QTest::newRow("SIP nvram, nothing ticked")
        << false << normal << false << "nvram" << true << "kQLSIPConfigVCNewSIPConfigNotExist" << QString();
    QTest::newRow("SIP file, nothing ticked")
        << false << normal << false << "config" << true << "kQLSIPConfigVCNewSIPConfigNotExist" << QString();
    QTest::newRow("SIP nvram, normal boot")
        << false << normal << true << "nvram" << true << "kQLSIPConfigVCApplySIPViaNVRAMUnsupported" << QString();
    QTest::newRow("SIP file not saved") << false << normal << true << "config-unsaved" << true
                                        << "kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig"
                                        << "kQLMainAbstractRootlessVCFileNotWritten";
    QTest::newRow("booter nvram, nothing ticked")
        << true << normal << false << "nvram" << true << "kQLBooterConfigVCNewBooterConfigNotExist" << QString();
    QTest::newRow("booter file, nothing ticked")
        << true << normal << false << "config" << true << "kQLBooterConfigVCNewBooterConfigNotExist" << QString();
    QTest::newRow("booter file not saved") << true << normal << true << "config-unsaved" << true
                                           << "kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig"
                                           << "kQLMainAbstractRootlessVCFileNotWritten";
  }
  void eachMessageOfThePanes() {
    QFETCH(bool, booter);
    QFETCH(int, environment);
    QFETCH(bool, tick);
    QFETCH(QString, action);
    QFETCH(bool, alert);
    QFETCH(QString, contents);
    QFETCH(QString, detail);
    Machine machine;
    machine.environment = static_cast<QLBootEnvironmentType>(environment);
    std::unique_ptr<QLMainAbstractRootlessViewController> pane;
    if (booter)
      pane = machine.pane<QLBooterConfigViewController>();
    else
      pane = machine.pane<QLSIPConfigViewController>();
    if (action != QLatin1String("nvram")) {
      // A file in a folder that is gone by the time it is saved cannot be written back.
      QTemporaryDir folder(files_.path() + "/XXXXXX");
      QVERIFY(machine.bootloader.loadConfig(copyInto(folder, kClover, "config.plist").toStdString()));
      if (action == QLatin1String("config-unsaved")) QVERIFY(folder.remove());
      pane->hide();
      pane->show();
    }
    if (tick) pane->outletButtonRootlessFlags[2]->click();
    (action == QLatin1String("nvram") ? pane->outletButtonApplyViaNVRAM : pane->outletButtonApplyViaConfig)->click();
    expectPresented(*pane, alert, contents.toUtf8().constData(),
                    detail.isEmpty() ? nullptr : detail.toUtf8().constData());
    QCOMPARE(machine.nvram.writeCount(), std::size_t{0});
  }

  // In a normal boot the booter word goes to the helper, which runs the nvram tool.
  void theBooterWordGoesThroughTheHelper() {
    Machine machine;
    auto pane = machine.pane<QLBooterConfigViewController>();
    for (int bit : {3, 5}) pane->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->click();
    pane->outletButtonApplyViaNVRAM->click();
    expectPresented(*pane, false, "kQLBooterConfigVCBooterConfigAppliedViaNVRAM");
    QVERIFY2(daemon_.calls("nvram").contains("7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=%28%00\n"),
             qPrintable(daemon_.calls("nvram")));
    QCOMPARE(machine.nvram.writeCount(), std::size_t{0});
    closeMessageBoxes();

    // A failing nvram tool is reported, and the new value stays.
    QFile script(daemon_.path("nvram"));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\nexit 1\n");
    script.close();
    pane->outletButtonApplyViaNVRAM->click();
    expectPresented(*pane, true, "kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM",
                    "kQLMainAbstractRootlessVCNVRAMHelperFailed");
    QCOMPARE(valueLine(*pane), expectedLine("0x00 (0)", "0x28 (40)"));
  }

  // From the recovery system both words are written straight to NVRAM, without a message.
  void recoveryWritesNVRAMDirectly() {
    Machine machine({0x67, 0, 0, 0});
    machine.environment = QLBootEnvironmentType::Recovery;
    auto sip = machine.pane<QLSIPConfigViewController>();
    auto booter = machine.pane<QLBooterConfigViewController>();
    sip->outletButtonRootlessFlags[0]->click();
    sip->outletButtonApplyViaNVRAM->click();
    booter->outletButtonRootlessFlags[3]->click();
    booter->outletButtonApplyViaNVRAM->click();
    QCoreApplication::processEvents();
    QVERIFY(!sip->presentedMessage());
    QVERIFY(!booter->presentedMessage());
    QCOMPARE(machine.nvram.read(platform::kAppleBootVariablesGuid, "csr-active-config"),
             (std::optional<std::vector<std::uint8_t>>{{0x66, 0, 0, 0}}));
    QCOMPARE(machine.nvram.read(platform::kAppleBootVariablesGuid, "bootercfg"),
             (std::optional<std::vector<std::uint8_t>>{{0x08, 0}}));
  }

 private:
  QTemporaryDir home_;
  QTemporaryDir files_;
  test::HelperDaemonProcess daemon_;
};

QTEST_MAIN(BootConfigPanesTest)
#include "BootConfigPanesTest.moc"
