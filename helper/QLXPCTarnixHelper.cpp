#include "helper/QLXPCTarnixHelper.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <thread>

#include "engine/RZBramble.h"
#include "helper/QLHelperArguments.h"
#include "model/QLCPU.h"
#include "platform/DetachedProcess.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

constexpr const char* kBooterVariablePrefix = "7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=";
constexpr const char* kExtensionFolders[] = {"/System/Library/Extensions", "/Library/Extensions", "/Extra/Extensions"};
thread_local std::optional<platform::PeerCredentials> tCallingPeer;

void log(const char* where, const std::string& text) { platform::diagnostic(where, text); }

std::string lastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

QLXPCTarnixHelper::QLXPCTarnixHelper(std::string bundleID, std::string version, QLHelperServices services)
    : QLXPCHelper(std::move(bundleID), std::move(version)), services_(std::move(services)) {}

void QLXPCTarnixHelper::setConnection(std::shared_ptr<QLXPCHelperContextProtocol> receiver) {
  std::lock_guard lock(connectionMutex_);
  connection_ = std::move(receiver);
}

void QLXPCTarnixHelper::clearConnection(const QLXPCHelperContextProtocol* receiver) {
  std::lock_guard lock(connectionMutex_);
  if (connection_.get() == receiver) connection_.reset();
}

void QLXPCTarnixHelper::setCallingPeer(std::optional<platform::PeerCredentials> peer) { tCallingPeer = peer; }

void QLXPCTarnixHelper::updateProgress(double progress) {
  std::shared_ptr<QLXPCHelperContextProtocol> receiver;
  {
    std::lock_guard lock(connectionMutex_);
    receiver = connection_;
  }
  if (!receiver) return;  // nobody to tell
  receiver->updateWithNewContext(QLXPCHelperContext::initWith("Progress", progress));
}

void QLXPCTarnixHelper::onWorkingQueue(std::function<void()> work) { std::thread(std::move(work)).detach(); }

template <typename T>
void QLXPCTarnixHelper::replyOnMain(QLReply<T> reply, T value) {
  services_.postToMain([reply = std::move(reply), value = std::move(value)]() mutable { reply(std::move(value)); });
}

void QLXPCTarnixHelper::test(QLReply<std::int64_t> reply) { reply(1234567890); }
void QLXPCTarnixHelper::test2(QLReply<std::int64_t> reply) { reply(9999999999); }
void QLXPCTarnixHelper::getVersion(QLReply<std::string> reply) { reply(services_.version); }

void QLXPCTarnixHelper::terminate() {
  log("QLXPCTarnixHelper::terminate()", "Terminating on request.");
  services_.exitProcess();
}

void QLXPCTarnixHelper::uninstall(QLReply<bool> reply) {
  const auto& table = services_.table;
  bool removed = platform::removeBeneath("/", table.helperBinary(bundleIdentifier)) == 0 &&
                 platform::removeBeneath("/", table.serviceUnit(bundleIdentifier)) == 0;
  if (removed && platform::pathExists(table.socketUnit(bundleIdentifier)))
    removed = platform::removeBeneath("/", table.socketUnit(bundleIdentifier)) == 0;
  reply(removed);
}

void QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume(
    QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) {
  if (!arguments::volumeRoot(volume)) {
    log("QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume()", "Refused volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), std::vector<QLRepairPermissionsRepresentableResult>{});
  }
  onWorkingQueue([this, volume = std::move(volume), reply = std::move(reply)]() mutable {
    RZBramble job(QLRepairPermissionsJobType::repairPermissions, volume, this, QLCPU::shared().maxthread(), false, 1.0);
    log("QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume()",
        "Repairing " + volume.mountPoint + " with " + std::to_string(job.numThreads()) + " threads.");
    std::vector<QLRepairPermissionsRepresentableResult> representable;
    for (const auto& result : job.run())
      if (auto converted = QLRepairPermissionsRepresentableResult::fromResult(result))
        representable.push_back(std::move(*converted));
    replyOnMain(std::move(reply), std::move(representable));
  });
}

void QLXPCTarnixHelper::rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) {
  const auto root = arguments::volumeRoot(volume);
  if (!root) {
    log("QLXPCTarnixHelper::rebuildCachesOnTargetVolume()", "Refused volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue([this, root = *root, reply = std::move(reply)]() mutable {
    bool rebuilt = false;
    if (platform::pathExists(services_.table.kextcache)) {
      const auto status = services_.runner->run(services_.table.kextcache, {"-i", root});
      rebuilt = status && *status == 0;
    } else {
      // No kextcache here: mark the caches stale so the volume's own system rebuilds them.
      bool any = false;
      rebuilt = true;
      for (const char* folder : kExtensionFolders) {
        if (!platform::existsBeneath(root, folder)) continue;
        any = true;
        if (platform::touchBeneath(root, folder) != 0) rebuilt = false;
      }
      rebuilt = rebuilt && any;
    }
    replyOnMain(std::move(reply), rebuilt);
  });
}

void QLXPCTarnixHelper::repairWithFolder(std::string folder, QLOSVolume volume, QLReply<bool> reply) {
  const auto root = arguments::volumeRoot(volume);
  const auto checkedFolder = arguments::kextFolder(folder);
  if (!root || !checkedFolder) {
    log("QLXPCTarnixHelper::repairWithFolder()", "Refused folder " + folder + " on volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue([root = *root, folder = *checkedFolder, reply = std::move(reply), this]() mutable {
    // The outcome of chown -R 0:0 and chmod -R 755, without following a link.
    const auto outcome = platform::setTreeAttributesBeneath(root, folder, defaultSystemOwner, defaultSystemMode);
    replyOnMain(std::move(reply), outcome.ownersSet && outcome.modesSet);
  });
}

void QLXPCTarnixHelper::changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) {
  QLCPU::shared().setMaxthread(number);
  reply(QLCPU::shared().maxthread() == number);
}

void QLXPCTarnixHelper::installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder,
                                                    QLOSVolume volume, QLReply<std::vector<QLKernelExtension>> reply) {
  const auto root = arguments::volumeRoot(volume);
  const auto checkedFolder = arguments::kextFolder(folder);
  if (!root || !checkedFolder) {
    log("QLXPCTarnixHelper::installWithKernelExtensions()",
        "Refused folder " + folder + " on volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), std::move(kexts));
  }
  onWorkingQueue([this, root = *root, folder = *checkedFolder, kexts = std::move(kexts), reply = std::move(reply)]() mutable {
    std::vector<QLKernelExtension> failed;
    for (const auto& kext : kexts) {
      if (!arguments::isInstallableKext(kext)) {
        log("QLXPCTarnixHelper::installWithKernelExtensions()", "Refused kext " + kext.path() + ".");
        failed.push_back(kext);
        continue;
      }
      const std::string target = folder + kext.name();
      bool ok = true;
      if (platform::existsBeneath(root, target)) ok = platform::removeBeneath(root, target) == 0;
      ok = ok && platform::copyTreeBeneath("/", kext.path(), root, target) == 0;
      if (ok) {
        const auto outcome = platform::setTreeAttributesBeneath(root, target, defaultSystemOwner, defaultSystemMode);
        ok = outcome.ownersSet && outcome.modesSet;
      }
      if (!ok) failed.push_back(kext);
    }
    replyOnMain(std::move(reply), std::move(failed));
  });
}

std::string QLXPCTarnixHelper::backupFolderName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
  return text;
}

void QLXPCTarnixHelper::backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string installedInFolder,
                                                   QLOSVolume volume, std::string destination,
                                                   QLReply<std::vector<QLKernelExtension>> reply) {
  if (kexts.empty()) return reply({});
  const auto root = arguments::volumeRoot(volume);
  const auto folder = arguments::kextFolder(installedInFolder);
  if (!root || !folder || !arguments::isPlainAbsolutePath(destination)) {
    log("QLXPCTarnixHelper::backupWithKernelExtensions()",
        "Refused folder " + installedInFolder + " on volume " + volume.mountPoint + " to " + destination + ".");
    return replyOnMain(std::move(reply), std::move(kexts));
  }
  // The backup belongs to whoever asked for it; the Part's fixed 501:80 names nobody here.
  std::optional<platform::Ownership> owner;
  if (tCallingPeer) owner = platform::Ownership{tCallingPeer->uid, tCallingPeer->gid};
  onWorkingQueue([this, root = *root, folder = *folder, destination = std::move(destination), owner,
                  kexts = std::move(kexts), reply = std::move(reply)]() mutable {
    const std::string backupFolder = destination + backupFolderName();
    if (platform::makeDirectoriesBeneath("/", backupFolder, 0755, owner) != 0) {
      log("QLXPCTarnixHelper::backupWithKernelExtensions()", "Cannot create " + backupFolder + ".");
      return replyOnMain(std::move(reply), std::move(kexts));
    }
    std::vector<QLKernelExtension> failed;
    for (const auto& kext : kexts) {
      const bool ok = arguments::isKextName(kext.name()) &&
                      platform::copyTreeBeneath(root, folder + kext.name(), "/", backupFolder + "/" + kext.name(),
                                                owner) == 0;
      if (!ok) failed.push_back(kext);
    }
    replyOnMain(std::move(reply), std::move(failed));
  });
}

void QLXPCTarnixHelper::installBrambleFromSourcePath(std::string source, std::string destination, QLReply<bool> reply) {
  const auto& table = services_.table;
  struct stat info{};
  if (destination != table.toolPath || !arguments::isPlainAbsolutePath(source) || ::stat(source.c_str(), &info) != 0 ||
      !S_ISREG(info.st_mode)) {
    log("QLXPCTarnixHelper::installBrambleFromSourcePath()", "Refused " + source + " to " + destination + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue([this, source = std::move(source), reply = std::move(reply)]() mutable {
    const auto& paths = services_.table;
    platform::startDetached(paths.killall, {lastComponent(paths.toolPath)});
    const std::string target = paths.installed(paths.toolPath);
    bool ok = !platform::pathExists(target) || platform::removeBeneath("/", target) == 0;
    ok = ok && platform::makeDirectoriesBeneath("/", parentOf(target), 0755) == 0;
    ok = ok && platform::copyTreeBeneath("/", source, "/", target) == 0;
    if (ok) {
      const auto outcome = platform::setTreeAttributesBeneath("/", target, toolOwner, 0755);
      ok = outcome.ownersSet && outcome.modesSet;
    }
    replyOnMain(std::move(reply), ok);
  });
}

void QLXPCTarnixHelper::uninstallBrambleFromPath(std::string path, QLReply<bool> reply) {
  const auto& table = services_.table;
  if (path != table.toolPath) {
    log("QLXPCTarnixHelper::uninstallBrambleFromPath()", "Refused " + path + ".");
    return replyOnMain(std::move(reply), false);
  }
  platform::startDetached(table.killall, {lastComponent(table.toolPath)});
  const std::string target = table.installed(table.toolPath);
  replyOnMain(std::move(reply), platform::pathExists(target) && platform::removeBeneath("/", target) == 0);
}

std::optional<std::string> QLXPCTarnixHelper::encodedBooterValue(std::int64_t value) {
  if (value < 0 || value > 0xFFFF) return std::nullopt;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04llx", static_cast<unsigned long long>(value));
  return std::string("%") + hex[2] + hex[3] + "%" + hex[0] + hex[1];
}

void QLXPCTarnixHelper::applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) {
  const auto encoded = encodedBooterValue(value);
  if (!encoded) {
    log("QLXPCTarnixHelper::applyBooterConfigViaNVRAMWithNewBooterConfig()",
        "Refused booter value " + std::to_string(value) + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue([this, argument = kBooterVariablePrefix + *encoded, reply = std::move(reply)]() mutable {
    const auto status = services_.runner->run(services_.table.nvram, {argument});
    replyOnMain(std::move(reply), status && *status == 0);
  });
}

}  // namespace tarnix
