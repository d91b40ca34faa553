// A helper client that the tests run as another user: it connects to the socket named by
// TARNIX_HELPER_SOCKET, makes one call and prints its answer on one line: the value, then the
// refusal ("-" when the call was not refused), then, after a repair, "progress=N" (the
// progress messages this connection received). A repair with GO connects, then waits for the
// file GO to exist before it asks.
//
//   tarnix_helper_test_client test | repair VOLUME [GO] | repair-folder VOLUME FOLDER | caches VOLUME
//                             | install VOLUME FOLDER KEXT... | backup VOLUME FOLDER DESTINATION KEXT...
//                             | tool SOURCE | uninstall-tool | nvram VALUE
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "client/QLXPCHelperManager.h"
#include "helper/protocol/QLXPCHelperRefusal.h"

namespace tarnix {
namespace {

class Delegate final : public QLXPCHelperManagerDelegate {
 public:
  void helperManagerDidFail(const QLXPCHelper&, QLXPCHelperManagerError, const std::optional<std::string>&) override {
    finish("connection-failed -");
  }
  void helperManagerDidConnect(const QLXPCHelper&) override {
    std::lock_guard lock(mutex);
    connected = true;
    changed.notify_all();
  }
  void helperManagerDidReceiveContext(const QLXPCHelper&, const QLXPCHelperContext&) override {
    std::lock_guard lock(mutex);
    ++contexts;
  }
  void postNotification(const QLXPCHelperManagerNotification&) override {}

  void finish(std::string text) {
    std::lock_guard lock(mutex);
    if (!answer) answer = std::move(text);
    changed.notify_all();
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool connected = false;
  int contexts = 0;
  std::optional<std::string> answer;
};

std::string refusalText() {
  const auto& refusal = QLXPCHelperRefusal::current();
  if (!refusal) return "-";
  if (refusal->reason == QLXPCHelperRefusal::Reason::notAuthorized) return "notAuthorized";
  return "untrustedVolume:" + std::string(QLXPCHelperRefusal::keyword(refusal->volumeProblem));
}

QLOSVolume volumeAt(const std::string& path) {
  return QLOSVolume::fromArchive(path, QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65"));
}

std::vector<QLKernelExtension> kextsFrom(char** first, char** last) {
  std::vector<QLKernelExtension> kexts;
  for (; first != last; ++first) kexts.push_back(QLKernelExtension::fromPath(*first));
  return kexts;
}

int run(int argc, char** argv) {
  if (argc < 2) return 2;
  Delegate delegate;
  QLXPCHelperManager manager(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &delegate);
  manager.installAndConnect();
  {
    std::unique_lock lock(delegate.mutex);
    delegate.changed.wait(lock, [&] { return delegate.connected || delegate.answer; });
  }
  auto* proxy = manager.proxy();
  const std::string command = argv[1];
  const auto boolean = [&](bool value) { delegate.finish((value ? "true " : "false ") + refusalText()); };
  const auto failed = [&](std::vector<QLKernelExtension> kexts) {
    delegate.finish(std::to_string(kexts.size()) + " " + refusalText());
  };
  if (delegate.answer || !proxy) {
  } else if (command == "test" && argc == 2) {
    proxy->test([&](std::int64_t value) { delegate.finish(std::to_string(value) + " " + refusalText()); });
  } else if (command == "repair" && (argc == 3 || argc == 4)) {
    for (int waited = 0; argc == 4 && ::access(argv[3], F_OK) != 0 && waited < 6000; ++waited) ::usleep(10000);
    proxy->repairDiskPermissionsOnTargetVolume(
        volumeAt(argv[2]), [&](std::vector<QLRepairPermissionsRepresentableResult> results) {
          const std::string refusal = refusalText();
          std::lock_guard lock(delegate.mutex);
          delegate.answer =
              std::to_string(results.size()) + " " + refusal + " progress=" + std::to_string(delegate.contexts);
          delegate.changed.notify_all();
        });
  } else if (command == "repair-folder" && argc == 4) {
    proxy->repairWithFolder(argv[3], volumeAt(argv[2]), boolean);
  } else if (command == "caches" && argc == 3) {
    proxy->rebuildCachesOnTargetVolume(volumeAt(argv[2]), boolean);
  } else if (command == "install" && argc >= 5) {
    proxy->installWithKernelExtensions(kextsFrom(argv + 4, argv + argc), argv[3], volumeAt(argv[2]), failed);
  } else if (command == "backup" && argc >= 6) {
    proxy->backupWithKernelExtensions(kextsFrom(argv + 5, argv + argc), argv[3], volumeAt(argv[2]), argv[4], failed);
  } else if (command == "tool" && argc == 3) {
    proxy->installBrambleFromSourcePath(argv[2], "/usr/local/bin/Bramble", boolean);
  } else if (command == "uninstall-tool" && argc == 2) {
    proxy->uninstallBrambleFromPath("/usr/local/bin/Bramble", boolean);
  } else if (command == "nvram" && argc == 3) {
    proxy->applyBooterConfigViaNVRAMWithNewBooterConfig(std::stoll(argv[2]), boolean);
  } else {
    return 2;
  }
  std::unique_lock lock(delegate.mutex);
  delegate.changed.wait(lock, [&] { return delegate.answer.has_value(); });
  std::printf("%s\n", delegate.answer->c_str());
  return 0;
}

}  // namespace
}  // namespace tarnix

int main(int argc, char** argv) { return tarnix::run(argc, argv); }
