// How responsive the Maintenance pane stays while the real helper repairs a large sample
// volume: Execute to the results window against the engine's own repair of a twin volume,
// the longest the GUI thread went without running its event loop, the longest the progress
// indicator stood still, and how long a second client waits for test: meanwhile. Goals:
// Execute-to-results at most 1.5 times the engine's repair, no stall above 50 ms, the
// indicator never still for 1.5 s, test: answered within 100 ms.
// Usage: tarnix-responsiveness-bench [FILES]   (default 90000 files, about 100,000 entries)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "../../bench/GuiResponsiveness.h"
#include "../../tests/app/AppTestSupport.h"
#include "app/QLMaintenanceViewController.h"
#include "app/QLPaneFactory.h"
#include "app/core/QLLocalization.h"
#include "app/core/QLNotificationCenter.h"
#include "cli/SampleVolume.h"
#include "engine/RZBramble.h"
#include "helper/protocol/QLXPCTarnixHelperProxy.h"
#include "helper/transport/QLSocketConnection.h"
#include "journal/QLJournal.h"
#include "operations/QLHelperOperations.h"
#include "platform/VolumeHandle.h"
#include "ui/QLAppManager.h"

using namespace tarnix;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  QLInstallStringTable(application);
  const std::size_t files = argc > 1 ? std::stoul(argv[1]) : 90000;

  test::HelperDaemonProcess daemon;
  if (!daemon.waitUntilListening()) {
    std::fprintf(stderr, "the helper did not start:\n%s\n", qPrintable(daemon.log()));
    return 1;
  }
  cli::SampleVolumeSummary summary;
  std::string error;
  const QString volume = daemon.path("volume");
  QElapsedTimer making;
  making.start();
  if (!cli::makeSampleVolume({volume.toStdString(), files}, summary, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("sample volume: %zu entries, %zu wrong, made in %lld ms\n", summary.entries, summary.wrongItems,
              static_cast<long long>(making.elapsed()));
  // The engine alone on a twin volume: the time the whole trip is held to. And the same repair
  // as the helper and bramble run it, each change written to the volume's journal before it is
  // made, on a second twin: the part of the trip that is the journal's, not the transport's.
  qint64 engineMs = 0;
  qint64 journaledMs = 0;
  for (const bool journaled : {false, true}) {
    const QString twin = daemon.path(journaled ? "journaled-twin" : "twin");
    cli::SampleVolumeSummary twinSummary;
    if (!cli::makeSampleVolume({twin.toStdString(), files}, twinSummary, error)) return 1;
    const auto described = QLOSVolume::initWithMountPoint(twin.toStdString());
    auto opened = platform::openVolume(twin.toStdString());
    if (!described || !opened.volume) return 1;
    QElapsedTimer engine;
    engine.start();
    RZBramble job(QLRepairPermissionsJobType::repairPermissions, *described, nullptr, 0, true, 1.0);
    std::optional<QLJournalRun> journal;
    std::optional<QLHelperOperations::QLJournalChangeRecorder> recorder;
    if (journaled) {
      journal.emplace(std::vector{volumeJournal(*opened.volume)},
                      QLJournalHeader{{}, {}, "repair-permissions", described->mountPoint, "bench", 0, {}});
      recorder.emplace(*journal);
      job.setChangeObserver(&*recorder);
    }
    const auto results = job.run();
    if (journal) journal->finish();
    (journaled ? journaledMs : engineMs) = engine.elapsed();
    std::printf("engine repair%s: %lld ms, %zu results\n", journaled ? " with its journal" : "",
                static_cast<long long>(journaled ? journaledMs : engineMs), results.size());
  }

  qputenv("TARNIX_HELPER_SOCKET", QFile::encodeName(daemon.socket()));
  QSignalSpy connected(&QLAppManager::shared().bridge(), &QLHelperNotificationBridge::didConnect);
  QLAppManager::shared().xpcManager().installAndConnect();
  if (!connected.wait(test::kGenerousMs)) return 1;

  auto* pane = qobject_cast<QLMaintenanceViewController*>(
      QLPaneFactory::instantiate(QLatin1String(QLPaneFactory::kQLSBIDMaintenance)));
  pane->show();
  if (!pane->chooseVolumeAtPath(volume)) return 1;
  pane->outletButtonRebuildCaches->click();  // the repair alone

  bench::GuiResponsiveness watch(pane->circularIndicator);
  int contexts = 0;
  QLNotificationCenter::defaultCenter().observe(
      pane, QStringLiteral("local.quillon.xpc.manager.didReceiveHelperContext"), [&](const QVariant& context) {
        ++contexts;
        // Where the trip's time goes: when each phase reached the window.
        const auto map = context.toMap();
        std::printf("  %lld ms: %s %.0f%%\n", static_cast<long long>(watch.elapsed()),
                    qPrintable(map.value(QStringLiteral("phase")).toString()),
                    map.value(QStringLiteral("progress")).toDouble());
      });
  // A second client asks test: again and again on a connection of its own.
  asio::io_context io;
  asio::local::stream_protocol::socket socket(io);
  socket.connect(asio::local::stream_protocol::endpoint(daemon.socket().toStdString()));
  auto other = QLSocketConnection::create(std::move(socket), {.maxIncomingFrame = wire::kMaxReplyFrame});
  other->setMessageHandler([](const wire::Message&) { return false; });
  other->setErrorHandler([](const std::string&) {});
  other->start();
  std::thread otherThread([&] { io.run(); });
  QLXPCTarnixHelperProxy otherProxy(*other);
  std::atomic<bool> repairing{true};
  std::atomic<long long> longestTest{0};
  std::atomic<int> tests{0};
  std::thread asker([&] {
    while (repairing) {
      std::promise<void> answered;
      const auto asked = std::chrono::steady_clock::now();
      otherProxy.test([&](std::int64_t) { answered.set_value(); });
      if (answered.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready) break;
      const auto waited =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
      longestTest = std::max<long long>(longestTest, waited.count());
      ++tests;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });

  watch.start();
  pane->executeButton->click();
  const bool finished = QTest::qWaitFor([&] { return pane->presentedResults() != nullptr; }, 30 * 60 * 1000);
  const qint64 total = watch.elapsed();
  watch.stop();
  repairing = false;
  asker.join();
  other->close();
  io.stop();
  otherThread.join();
  if (!finished) {
    std::fprintf(stderr, "the repair did not finish\n");
    return 1;
  }
  std::printf(
      "Execute to results: %lld ms, %d results (%.2f x the engine's repair; goal <= 1.5; %.2f x the journaled "
      "repair)\n",
      static_cast<long long>(total), pane->presentedResults()->model()->rowCount(),
      static_cast<double>(total) / static_cast<double>(std::max<qint64>(engineMs, 1)),
      static_cast<double>(total) / static_cast<double>(std::max<qint64>(journaledMs, 1)));
  std::printf("second client's test: %d answered, longest %lld ms (goal <= 100)\n", tests.load(), longestTest.load());
  std::printf("longest GUI stall: %lld ms (goal <= 50)\n", static_cast<long long>(watch.longestStall()));
  std::printf("helper contexts: %d\n", contexts);
  std::printf("indicator moves: %d, longest still: %lld ms (goal < 1500)\n", watch.moves(),
              static_cast<long long>(watch.longestStill()));
  std::printf("status at the end: %s\n", qPrintable(pane->statusField->text()));
  delete pane;
  const bool met =
      watch.longestStall() < 50 && watch.longestStill() < 1500 && total <= engineMs * 3 / 2 && longestTest <= 100;
  return met ? 0 : 3;
}
