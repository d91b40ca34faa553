// The EZ installer's side of the responsiveness benchmark: a drop onto a large sample volume
// (nothing to install, so the run is the repair and the caches) through the real helper. The
// longest GUI stall, the longest the indicator stood still, the progress contexts received,
// and the drop-to-finish time against the engine's own repair of a twin volume.
// Usage: tarnix-ez-responsiveness-bench [FILES]   (default 90000 files, about 100,000 entries)
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <cstdio>

#include "../../bench/GuiResponsiveness.h"
#include "../../tests/app/AppTestSupport.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "cli/SampleVolume.h"
#include "engine/RZBramble.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLEZLocalization.h"
#include "ezinstaller/QLMainEZInstallerViewController.h"
#include "ezinstaller/QLUserNotificationCenter.h"
#include "model/QLOSVolumeManager.h"
#include "ui/QLAppManager.h"

using namespace tarnix;
using namespace tarnix::ezinstaller;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  if (!QLEZInstallStringTables(application)) return 1;
  const std::size_t files = argc > 1 ? std::stoul(argv[1]) : 90000;

  test::HelperDaemonProcess daemon;
  if (!daemon.waitUntilListening()) {
    std::fprintf(stderr, "the helper did not start:\n%s\n", qPrintable(daemon.log()));
    return 1;
  }
  qputenv("TARNIX_KEXTCACHE", QFile::encodeName(daemon.path("kextcache")));
  std::string error;
  cli::SampleVolumeSummary summary;
  const QString volume = daemon.path("volume"), twin = daemon.path("twin");
  if (!cli::makeSampleVolume({volume.toStdString(), files}, summary, error) ||
      !cli::makeSampleVolume({twin.toStdString(), files}, summary, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("sample volume: %zu entries, %zu wrong\n", summary.entries, summary.wrongItems);
  QElapsedTimer engine;
  engine.start();
  RZBramble job(QLRepairPermissionsJobType::repairPermissions, *QLOSVolume::initWithMountPoint(twin.toStdString()),
                nullptr, 0, true, 1.0);
  const auto engineResults = job.run();
  const qint64 engineMs = engine.elapsed();
  std::printf("engine repair: %lld ms, %zu results\n", static_cast<long long>(engineMs), engineResults.size());

  qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon.socket()));
  QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
  QLAppManager::shared().xpcManager().installAndConnect();
  if (!connected.wait(test::kGenerousMs)) return 1;
  QLOSVolumeManager::shared().setSelected(QLOSVolume::initWithMountPoint(volume.toStdString()));
  QLEZInstallerPreferences::shared().setInstallationFolder(QLKernelExtensionFolder::LibraryExtensions);
  QLAppManager::shared().terminateHandler = [] {};
  QLUserNotificationCenter::defaultCenter().observer = [](const QLUserNotification&) {};

  QLMainEZInstallerViewController pane;
  pane.loadView();
  pane.show();
  int contexts = 0;
  bool repairing = false;
  bench::GuiResponsiveness watch(pane.circularIndicator, [&] { return repairing; });
  QLNotificationCenter::defaultCenter().observe(
      &pane, QStringLiteral("local.quillon.xpc.manager.didReceiveHelperContext"), [&](const QVariant&) {
        ++contexts;
        repairing = true;
      });
  const QString finished = QLLocalizedString("kQLMainEZInstallerVCFinished");
  watch.start();
  // A drop with no kext in it: the run is the repair and the caches.
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationDidCollectAllFiles),
                                             QStringList{daemon.path("volume/ReadMe.txt")});
  const bool done = QTest::qWaitFor([&] { return pane.statusField->text().endsWith(finished); }, 30 * 60 * 1000);
  const qint64 total = watch.elapsed();
  watch.stop();
  if (!done) {
    std::fprintf(stderr, "the run did not finish: %s\n", qPrintable(pane.statusField->text()));
    return 1;
  }
  std::printf("drop to finished: %lld ms (%.2f x the engine's repair)\n", static_cast<long long>(total),
              static_cast<double>(total) / static_cast<double>(std::max<qint64>(engineMs, 1)));
  std::printf("longest GUI stall: %lld ms (goal < 50)\n", static_cast<long long>(watch.longestStall()));
  std::printf("helper contexts: %d\n", contexts);
  std::printf("indicator moves: %d, longest still while repairing: %lld ms (goal < 1500)\n", watch.moves(),
              static_cast<long long>(watch.longestStill()));
  return watch.longestStall() < 50 && watch.longestStill() < 1500 ? 0 : 3;
}
