#include "helper/QLHelperOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "engine/RZBramble.h"
#include "helper/QLHelperArguments.h"
#include "helper/QLToolArchive.h"
#include "platform/DetachedProcess.h"
#include "platform/Log.h"
#include "platform/VolumeTree.h"

namespace tarnix::QLHelperOperations {
namespace {

constexpr const char* kBooterVariablePrefix = "7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=";
constexpr const char* kExtensionFolders[] = {"/System/Library/Extensions", "/Library/Extensions", "/Extra/Extensions"};
constexpr platform::Ownership kToolOwner{0, 0};  // on root's PATH: only root may change it

void log(const char* where, const std::string& text) { platform::diagnostic(where, text); }

std::string lastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A regular file read whole, opened with `caller`'s rights; its status in `info`.
std::optional<std::string> readAs(const platform::Identity* caller, const std::string& path, std::size_t limit,
                                  struct stat& info) {
  int fd = -1;
  platform::actingAs(caller, 0, [&] {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return 0;
  });
  if (fd < 0) return std::nullopt;
  std::string bytes;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= limit;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      ok = got > 0;
      if (ok) done += static_cast<std::size_t>(got);
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace

std::vector<QLRepairPermissionsRepresentableResult> repairPermissions(const platform::VolumeHandle& volume,
                                                                      const QLOSVolume& described,
                                                                      std::int64_t threads, RZBrambleDelegate* delegate) {
  // The job reads receipts by path: it is given the held folder's own path, never the one the
  // caller named, and it changes files only through the held descriptor.
  QLOSVolume held = described;
  held.mountPoint = volume.path();
  const auto trees = platform::volumeTreesOf(volume);
  RZBramble job(QLRepairPermissionsJobType::repairPermissions, held, delegate, threads, false, 1.0, *trees);
  log("QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume()",
      "Repairing " + volume.mountPoint() + " with " + std::to_string(job.numThreads()) + " threads.");
  std::vector<QLRepairPermissionsRepresentableResult> representable;
  for (const auto& result : job.run()) {
    auto converted = QLRepairPermissionsRepresentableResult::fromResult(result);
    if (!converted) continue;
    auto& path = converted->fileSystemResourcePath;
    if (path.compare(0, held.mountPoint.size(), held.mountPoint) == 0)
      path = volume.mountPoint() + path.substr(held.mountPoint.size());
    representable.push_back(std::move(*converted));
  }
  return representable;
}

bool repairKextFolder(const platform::VolumeHandle& volume, const std::string& folder) {
  const auto outcome = platform::setTreeAttributesBeneath(volume, folder, kSystemOwner, kSystemMode);
  return outcome.ownersSet && outcome.modesSet;
}

bool rebuildCaches(const platform::VolumeHandle& volume, const platform::HelperPlatformTable& table,
                   platform::ProcessRunner& runner) {
  if (::access(table.kextcache.c_str(), X_OK) == 0) {
    const auto status = runner.run(table.kextcache, {"-i", volume.mountPoint()});
    return status && *status == 0;
  }
  // No kextcache here: mark the caches stale so the volume's own system rebuilds them.
  bool any = false;
  bool touched = true;
  for (const char* folder : kExtensionFolders) {
    const int rc = platform::touchBeneath(volume, folder);
    if (rc == ENOENT) continue;
    any = true;
    touched = touched && rc == 0;
  }
  return touched && any;
}

std::vector<QLKernelExtension> installKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                            const std::vector<QLKernelExtension>& kexts,
                                            const platform::Identity* caller) {
  std::vector<QLKernelExtension> failed;
  for (const auto& kext : kexts) {
    if (!arguments::isInstallableKext(kext)) {
      log("QLXPCTarnixHelper::installWithKernelExtensions()", "Refused kext " + kext.path() + ".");
      failed.push_back(kext);
      continue;
    }
    const std::string target = folder + kext.name();
    const int removed = platform::removeBeneath(volume, target);
    bool ok = removed == 0 || removed == ENOENT;
    // The source with the caller's rights: a bundle the caller cannot read is a failed kext.
    const int copied = ok ? platform::copyTreeBeneath("/", kext.path(), volume, target, std::nullopt, {caller, nullptr})
                          : removed;
    ok = ok && copied == 0;
    if (ok) {
      const auto outcome = platform::setTreeAttributesBeneath(volume, target, kSystemOwner, kSystemMode);
      ok = outcome.ownersSet && outcome.modesSet;
    }
    if (!ok) {
      log("QLXPCTarnixHelper::installWithKernelExtensions()",
          "Cannot install " + kext.path() + ": " + std::to_string(copied) + ".");
      failed.push_back(kext);
    }
  }
  return failed;
}

std::string backupFolderName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
  return text;
}

std::vector<QLKernelExtension> backupKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                           const std::vector<QLKernelExtension>& kexts, const std::string& destination,
                                           const platform::Identity* caller) {
  if (kexts.empty()) return {};
  const std::string backupFolder = destination + backupFolderName();
  // Made with the caller's rights: never a folder the caller could not have made.
  const int made =
      platform::actingAs(caller, EPERM, [&] { return platform::makeDirectoriesBeneath("/", backupFolder, 0755); });
  if (made != 0) {
    log("QLXPCTarnixHelper::backupWithKernelExtensions()",
        "Cannot create " + backupFolder + ": " + std::to_string(made) + ".");
    return kexts;
  }
  std::vector<QLKernelExtension> failed;
  for (const auto& kext : kexts) {
    const bool ok = arguments::isKextName(kext.name()) &&
                    platform::copyTreeBeneath(volume, folder + kext.name(), "/", backupFolder + "/" + kext.name(),
                                              std::nullopt, {nullptr, caller}) == 0;
    if (!ok) failed.push_back(kext);
  }
  return failed;
}

std::optional<std::string> toolFromSource(const std::string& source, const platform::HelperPlatformTable& table,
                                          const platform::Identity* caller) {
  constexpr const char* where = "QLXPCTarnixHelper::installBrambleFromSourcePath()";
  struct stat info{};
  if (source == table.bundledTool) {
    auto tool = readAs(caller, source, QLToolArchive::kMaximumArchiveBytes, info);
    // The packaged copy is the system's: one that someone else could have written is not.
    if (tool && (info.st_uid == 0 || info.st_uid == ::geteuid()) && !(info.st_mode & 022)) return tool;
    log(where, "Refused the packaged copy " + source + ": missing, unreadable or writable by others.");
    return std::nullopt;
  }
  if (table.toolKey.empty()) {
    log(where, "Refused " + source + ": no key to check an archive with is built in.");
    return std::nullopt;
  }
  const auto archive = readAs(caller, source, QLToolArchive::kMaximumArchiveBytes, info);
  const auto signature = readAs(caller, source + ".sig", QLToolArchive::kMaximumSignatureBytes, info);
  if (!archive || !signature || !QLToolArchive::verify(*archive, *signature, table.toolKey)) {
    log(where, "Refused " + source + ": not an archive signed with the built-in key.");
    return std::nullopt;
  }
  auto tool = QLToolArchive::extract(*archive, lastComponent(table.toolPath), QLToolArchive::kMaximumArchiveBytes);
  if (!tool) log(where, "Refused " + source + ": the signed archive holds no " + lastComponent(table.toolPath) + ".");
  return tool;
}

bool installTool(const std::string& tool, const platform::HelperPlatformTable& table) {
  platform::startDetached(table.killall, {lastComponent(table.toolPath)});
  const std::string target = table.installed(table.toolPath);
  const int removed = platform::removeBeneath("/", target);
  return (removed == 0 || removed == ENOENT) && platform::makeDirectoriesBeneath("/", parentOf(target), 0755) == 0 &&
         platform::writeFileBeneath("/", target, tool, 0755, kToolOwner) == 0;
}

bool uninstallTool(const platform::HelperPlatformTable& table) {
  platform::startDetached(table.killall, {lastComponent(table.toolPath)});
  return platform::removeBeneath("/", table.installed(table.toolPath)) == 0;
}

std::optional<std::string> encodedBooterValue(std::int64_t value) {
  if (value < 0 || value > 0xFFFF) return std::nullopt;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04llx", static_cast<unsigned long long>(value));
  return std::string("%") + hex[2] + hex[3] + "%" + hex[0] + hex[1];
}

bool writeBooterWord(std::int64_t value, const platform::HelperPlatformTable& table, platform::ProcessRunner& runner) {
  const auto encoded = encodedBooterValue(value);
  if (!encoded) return false;
  const auto status = runner.run(table.nvram, {kBooterVariablePrefix + *encoded});
  return status && *status == 0;
}

}  // namespace tarnix::QLHelperOperations
