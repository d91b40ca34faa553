// Renders each built pane, the placeholder and the results window into PNG files, offscreen,
// with made-up data (a volume as udisks would mount it, a few results):
// tarnix-screenshots OUTPUT_FOLDER.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <cstdio>
#include <functional>

#include "app/QLBootloaderFileChooser.h"
#include "app/QLEZView.h"
#include "app/QLMainAbstractRootlessViewController.h"
#include "app/QLMainWindowController.h"
#include "app/QLMaintenanceViewController.h"
#include "app/QLPaneFactory.h"
#include "app/QLSIPConfigViewController.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "bootconfig/QLRootlessLocalization.h"
#include "model/QLKernelExtensionsManager.h"
#include "model/QLOSVolumeManager.h"
#include "ui/QLAppManager.h"
#include "ui/QLDetailedResultsViewController.h"

using namespace tarnix;

namespace {

// `touchUp` runs once the widget shows, before it is grabbed.
bool save(QWidget* widget, const QString& path, const std::function<void()>& touchUp = {}) {
  widget->show();
  // Long enough for the panes' background reads (tool versions, the feed) to be shown.
  QElapsedTimer shown;
  shown.start();
  while (shown.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);
  if (touchUp) touchUp();
  const bool saved = widget->grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
  return saved;
}

// Answers the kext calls at once and keeps the repair's reply, so that the EZ overlay stays
// in its repairing look.
class RepairingHelper final : public QLXPCTarnixHelperProtocol {
 public:
  bool repairing = false;
  void test(QLReply<std::int64_t> reply) override { reply(kQLHelperTestAnswer); }
  void terminate() override {}
  void uninstall(QLReply<bool> reply) override { reply(false); }
  void getVersion(QLReply<std::string> reply) override { reply(""); }
  void test2(QLReply<std::int64_t> reply) override { reply(kQLHelperTest2Answer); }
  void repairWithFolder(std::string, QLOSVolume, QLReply<bool> reply) override { reply(true); }
  void repairDiskPermissionsOnTargetVolume(QLOSVolume,
                                           QLReply<std::vector<QLRepairPermissionsRepresentableResult>>) override {
    repairing = true;
  }
  void rebuildCachesOnTargetVolume(QLOSVolume, QLReply<bool> reply) override { reply(true); }
  void installWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume,
                                   QLReply<std::vector<QLKernelExtension>> reply) override {
    reply({});
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume, std::string,
                                  QLReply<std::vector<QLKernelExtension>> reply) override {
    reply({});
  }
  void changeMaximumThreadsNumber(std::int64_t, QLReply<bool> reply) override { reply(true); }
  void installBrambleFromSourcePath(std::string, std::string, QLReply<bool> reply) override { reply(false); }
  void uninstallBrambleFromPath(std::string, QLReply<bool> reply) override { reply(false); }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t, QLReply<bool> reply) override { reply(false); }
};

std::vector<QLRepairPermissionsRepresentableResult> sampleResults() {
  return {
      {"1", "/System/Library/CoreServices/boot.efi", "Owner ID Mismatched", 501, 0, 0, "Fixed"},
      {"2", "/usr/bin/sudo", "POSIX Permissions Mismatched", 755, 4511, 4511, "Fixed"},
      {"3", "/Library/Extensions/FakeSMC.kext", "Group ID Mismatched", 20, 0, 0, "Fixed"},
      {"4", "/private/var/db/.AppleSetupDone", "POSIX Permissions Mismatched", 777, 644, 644, "Fixed"},
      {"5", "/usr/lib/libSystem.dylib", "POSIX Permissions Mismatched", 777, 755, 777, "Failed"},
  };
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarnix-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  // Nothing of the user's settings is read or written.
  QStandardPaths::setTestModeEnabled(true);
  QLInstallStringTable(application);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  QLOSVolumeManager::shared().setSelected(
      QLOSVolume::fromArchive("/media/user/Macintosh HD", QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65")));

  QLPreferences& preferences = QLAppManager::shared().preferences();
  preferences.resetAll();
  preferences.registerDefaults("/home/user/.local/share/Tarnix", 4);
  preferences.setRepairPermissionsMaximumThreadsNumber(2);

  // A feed announcing a newer command-line tool, read from a local file.
  QTemporaryDir feedFolder;
  QFile feed(feedFolder.path() + QStringLiteral("/bramble.plist"));
  if (feed.open(QIODevice::WriteOnly)) {
    feed.write(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Version</key><string>1.1.0</string>"
        "<key>URL</key><string>https://quillon.pl/tarnix/Bramble-1.1.0.zip</string></dict></plist>");
    feed.close();
  }
  application.setProperty("QLBrambleRSS", QUrl::fromLocalFile(feed.fileName()).toString());

  // An OpenCore configuration chosen in the SIP and Booter Config panes, on a folder shaped like
  // an EFI partition.
  QTemporaryDir esp(QDir::tempPath() + QStringLiteral("/ESP-XXXXXX"));
  QDir().mkpath(esp.path() + QStringLiteral("/EFI/OC"));
  const QString openCore = esp.path() + QStringLiteral("/EFI/OC/config.plist");
  QFile config(openCore);
  if (config.open(QIODevice::WriteOnly)) {
    config.write(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Kernel</key><dict/><key>Misc</key><dict/>"
        "<key>NVRAM</key><dict><key>Add</key><dict><key>7C436110-AB2A-4BBB-A880-FE41995C9F82</key><dict>"
        "<key>csr-active-config</key><data>AAAAAA==</data></dict></dict></dict>"
        "<key>PlatformInfo</key><dict/><key>UEFI</key><dict/></dict></plist>");
    config.close();
  }
  QLBootloaderConfigManager::shared().loadConfig(openCore.toStdString());

  bool ok = true;
  QLMainWindowController window;
  window.resize(720, 560);
  for (QAction* item : window.outletMainToolbar->actions()) {
    window.switchViewController(item);
    // The SIP pane with a new word ticked: the words to allow unsigned kexts and to edit the system.
    if (auto* sip = qobject_cast<QLSIPConfigViewController*>(window.contentViewController()))
      for (int bit : {0, 1, 2, 5, 6}) sip->outletButtonRootlessFlags[static_cast<std::size_t>(bit)]->click();
    // Where the EFI partition is usually mounted, rather than this run's temporary folder.
    auto* rootless = qobject_cast<QLMainAbstractRootlessViewController*>(window.contentViewController());
    ok = save(&window, folder + QStringLiteral("/pane-%1.png").arg(item->data().toString()),
              [rootless] {
                if (rootless) rootless->pathField->setText(QStringLiteral("/boot/efi/EFI/OC/config.plist"));
              }) &&
         ok;
  }
  // The bootloader file chooser, with what a machine with two EFI partitions and Chameleon shows.
  window.switchViewController(window.outletToolbarItemSIPConfig);
  QLBootloaderOpenPanel panel{
      kQLInstallationVCChoose, "~/Desktop/", "plist", [] {
        QLBootloaderConfigSearchResult result;
        result.found = {{"/boot/efi/EFI/OC/config.plist", QLBootloaderConfigType::opencore},
                        {"/media/user/EFI/EFI/CLOVER/config.plist", QLBootloaderConfigType::clover},
                        {"/media/user/Macintosh HD/Extra/org.chameleon.Boot.plist", QLBootloaderConfigType::chameleon}};
        result.fatMountPoints = {"/boot/efi", "/media/user/EFI"};
        result.unmountedEfiSystemPartitions = {{"/dev/nvme1n1p1", "259:5"}};
        return result;
      }};
  QLBootloaderFileChooser::open(window.contentViewController(), panel, [](std::optional<std::string>) {});
  if (auto* chooser = window.findChild<QLBootloaderFileChooser*>()) {
    ok = save(chooser, folder + QStringLiteral("/bootloader-file-chooser.png")) && ok;
    chooser->reject();
  }
  // The Installation pane without EZ mode, with two kexts in its table.
  QLKernelExtensionsManager::shared().addKextsFromPaths(
      {"/home/user/Downloads/FakeSMC-6.26/FakeSMC.kext", "/home/user/Downloads/AppleALC-1.2/AppleALC.kext"});
  preferences.setEnableEZInstallationMode(false);
  window.switchViewController(window.outletToolbarItemInstallation);
  ok = save(&window, folder + QStringLiteral("/pane-QLSBIDInstallation-normal.png")) && ok;
  preferences.setEnableEZInstallationMode(true);
  QLKernelExtensionsManager::shared().kextsTBI.clear();

  // The EZ overlay while the dropped kexts' volume is repaired, its indicator part-filled.
  {
    RepairingHelper helper;
    QLAppManager::shared().setProxy(&helper);
    window.switchViewController(window.outletToolbarItemInstallation);
    QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationEZDidDragOperation),
                                               QStringList{QStringLiteral("/home/user/Downloads/Lilu.kext")});
    QElapsedTimer waited;
    waited.start();
    while (!helper.repairing && waited.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    QLNotificationCenter::defaultCenter().post(QStringLiteral("local.quillon.xpc.manager.didReceiveHelperContext"),
                                               QVariantMap{{QStringLiteral("progress"), 62.0}});
    ok = helper.repairing && save(&window, folder + QStringLiteral("/pane-QLSBIDInstallation-repairing.png")) && ok;
    window.switchViewController(window.outletToolbarItemMaintenance);
    QLAppManager::shared().setProxy(nullptr);
  }

  for (const char* identifier : {QLPaneFactory::kQLSBIDPreferences, QLPaneFactory::kQLSBIDAbout}) {
    QWidget* pane = QLPaneFactory::instantiate(QLatin1String(identifier));
    ok = save(pane, folder + QStringLiteral("/pane-%1.png").arg(QLatin1String(identifier))) && ok;
    delete pane;
  }
  auto result = std::make_shared<QLDetailedRepresentableResult>(
      QStringLiteral("QLUIMain"), QLLocalizedString("kQLMainAbstractVCFinished"),
      QLLocalizedString("kQLMaintenanceVCSelectedOperationsFinished"), sampleResults());
  QLDetailedResultsViewController results(result);
  ok = save(&results, folder + QStringLiteral("/detailed-results.png")) && ok;
  return ok ? 0 : 1;
}
