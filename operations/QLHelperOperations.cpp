#include "operations/QLHelperOperations.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "engine/QLFileSystemResource.h"
#include "engine/RZBramble.h"
#include "journal/QLJournalJson.h"
#include "operations/QLHelperArguments.h"
#include "operations/QLToolArchive.h"
#include "platform/DetachedProcess.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/VolumeTree.h"

namespace tarnix::QLHelperOperations {
namespace {

constexpr const char* kBooterVariablePrefix = "7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=";
constexpr const char* kExtensionFolders[] = {"/System/Library/Extensions", "/Library/Extensions", "/Extra/Extensions"};
constexpr platform::Ownership kToolOwner{0, 0};  // on root's PATH: only root may change it
// What an install copies a kext to before it takes the kext's place; anything of that name in a
// kext folder is what an install cut short left behind.
constexpr std::string_view kStagingPrefix = ".tarnix-staging-";

void log(const char* where, const std::string& text) { platform::diagnostic(where, text); }

std::string lastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A regular file read whole with `caller`'s rights; its owner and mode in `attributes`.
std::optional<std::string> readAs(const platform::Identity* caller, const std::string& path, std::size_t limit,
                                  platform::FileAttributes& attributes) {
  return platform::actingAs(caller, std::optional<std::string>(),
                            [&] { return platform::readFile(path, limit, &attributes); });
}

// The lines a worker thread has formatted since its last commit.
std::string& pendingLines() {
  thread_local std::string lines;
  return lines;
}

// What a tree holds now, as a digest; nothing when it cannot be read.
std::optional<std::string> fingerprint(const platform::TreeRoot& root, std::string_view path) {
  const auto described = platform::describeTreeBeneath(root, path);
  if (!described) return std::nullopt;
  return journalDigest(*described);
}

// Removes what an install cut short left in `folder`: copies that never took a kext's place.
void removeLeftovers(const platform::VolumeHandle& volume, const std::string& folder) {
  const auto names = platform::listFolderBeneath(volume, folder);
  if (!names) return;
  for (const auto& name : *names) {
    if (!name.starts_with(kStagingPrefix)) continue;
    const int rc = platform::removeBeneath(volume, folder + name);
    log("QLXPCTarnixHelper::installWithKernelExtensions()",
        "Removed " + volume.mountPoint() + folder + name + " left by an install cut short" +
            (rc == 0 ? "." : ": failed, " + std::string(std::strerror(rc)) + "."));
  }
}

}  // namespace

bool QLJournalChangeRecorder::willChange(const QLFileSystemResource& resource,
                                         QLFileSystemResourceAttributeMismatchedType attribute, std::int64_t before,
                                         std::int64_t after) {
  using Mismatch = QLFileSystemResourceAttributeMismatchedType;
  QLJournalChange change;
  resource.appendRelativePath(change.path);
  if (change.path.empty()) change.path = "/";
  if (attribute == Mismatch::posixPermissionsMismatched) {
    // Permission digits are the octal digits read as a decimal number: 4755 is "4755".
    change.kind = QLJournalKind::mode;
    change.before = std::to_string(before);
    change.after = std::to_string(after);
  } else {
    change.kind = attribute == Mismatch::ownerIDMismatched ? QLJournalKind::owner : QLJournalKind::group;
    change.before = before;
    change.after = after;
  }
  journal_.format(change, pendingLines());
  return true;
}

bool QLJournalChangeRecorder::commit() {
  std::string& lines = pendingLines();
  const bool written = lines.empty() || journal_.write(lines);
  lines.clear();
  return written;
}

namespace {
// Converts the engine's results as they come, and passes them on in batches large enough that
// each message is worth its overhead, small enough that the peer sees them arrive.
class RepresentableSink final : public RZResultSink {
 public:
  static constexpr std::size_t kBatch = 2048;
  RepresentableSink(std::string held, std::string shown, const QLResultBatches& batches)
      : held_(std::move(held)), shown_(std::move(shown)), batches_(batches) {}

  void didProduceResults(std::span<QLRepairPermissionsResult> results) override {
    for (const auto& result : results) {
      auto converted = representable(result);
      if (!converted) continue;
      auto& path = converted->fileSystemResourcePath;
      if (path.compare(0, held_.size(), held_) == 0) path = shown_ + path.substr(held_.size());
      if (open_) kept_.push_back(std::move(*converted));
    }
    if (batches_ && kept_.size() >= kBatch) flush();
  }
  // What is left: everything without batches, nothing with them.
  std::vector<QLRepairPermissionsRepresentableResult> finish() {
    if (batches_) flush();
    return std::move(kept_);
  }

 private:
  void flush() {
    if (open_ && !kept_.empty()) open_ = batches_(std::move(kept_));
    kept_.clear();
  }
  const std::string held_, shown_;
  const QLResultBatches& batches_;
  std::vector<QLRepairPermissionsRepresentableResult> kept_;
  bool open_ = true;
};
}  // namespace

std::vector<QLRepairPermissionsRepresentableResult> repairPermissions(const platform::VolumeHandle& volume,
                                                                      const QLOSVolume& described, std::int64_t threads,
                                                                      RZBrambleDelegate* delegate,
                                                                      QLJournalRun& journal,
                                                                      const QLResultBatches& batches) {
  // The job reads receipts by path: it is given the held folder's own path, never the one the
  // caller named, and it changes files only through the held descriptor.
  QLOSVolume held = described;
  held.mountPoint = volume.path();
  const auto trees = platform::volumeTreesOf(volume);
  RZBramble job(QLRepairPermissionsJobType::repairPermissions, held, delegate, threads, false, 1.0, *trees);
  QLJournalChangeRecorder recorder(journal);
  job.setChangeObserver(&recorder);
  log("QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume()",
      "Repairing " + volume.mountPoint() + " with " + std::to_string(job.numThreads()) + " threads.");
  RepresentableSink sink(held.mountPoint, volume.mountPoint(), batches);
  job.run(sink);
  return sink.finish();
}

bool repairKextFolder(const platform::VolumeHandle& volume, const std::string& folder, QLJournalRun& journal) {
  const platform::TreeChangeObserver record = [&](std::string_view relative, const platform::FileAttributes& current) {
    const auto write = [&](QLJournalKind kind, QLJournalValue before, QLJournalValue after) {
      return journal.record({kind, std::string(relative), std::move(before), std::move(after), {}, {}});
    };
    bool ok = true;
    if (current.uid != kSystemOwner.uid) ok = write(QLJournalKind::owner, current.uid, kSystemOwner.uid);
    if (ok && current.gid != kSystemOwner.gid) ok = write(QLJournalKind::group, current.gid, kSystemOwner.gid);
    if (ok && !current.isSymlink() && current.permissions() != kSystemMode) {
      char before[8], after[8];
      std::snprintf(before, sizeof before, "%o", current.permissions());
      std::snprintf(after, sizeof after, "%o", kSystemMode);
      ok = write(QLJournalKind::mode, std::string(before), std::string(after));
    }
    if (!ok) journal.noteFailed();
    return ok;
  };
  const auto outcome = platform::setTreeAttributesBeneath(volume, folder, kSystemOwner, kSystemMode, &record);
  return outcome.ownersSet && outcome.modesSet;
}

bool rebuildCaches(const platform::VolumeHandle& volume, const platform::HelperPlatformTable& table,
                   platform::ProcessRunner& runner) {
  if (platform::isExecutable(table.kextcache)) {
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

std::vector<QLKextInstallOutcome> installKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                               const std::vector<QLKernelExtension>& kexts,
                                               const platform::Identity* caller, QLJournalRun& journal,
                                               const std::string& backupFolder) {
  constexpr const char* where = "QLXPCTarnixHelper::installWithKernelExtensions()";
  std::vector<QLKextInstallOutcome> outcomes;
  removeLeftovers(volume, folder);
  std::size_t staged = 0;
  for (const auto& kext : kexts) {
    QLKextInstallOutcome& outcome = outcomes.emplace_back(QLKextInstallOutcome{kext, false, false, {}, {}});
    if (!arguments::isInstallableKext(kext)) {
      log(where, "Refused kext " + kext.path() + ".");
      outcome.message = "not a kext bundle (a folder whose name ends in .kext); nothing was installed";
      continue;
    }
    const std::string name = kext.name();
    const std::string target = folder + name;
    const std::string staging = folder + std::string(kStagingPrefix) + journal.id() + "-" + std::to_string(++staged);
    outcome.replaced = platform::attributesBeneath(volume, target).has_value();
    const std::string inPlace =
        outcome.replaced ? "the installed " + name + " is in place, unchanged" : "nothing was installed";
    const auto fail = [&](const std::string& why) {
      // The staged copy never took the kext's place: it goes, whatever it holds.
      platform::removeBeneath(volume, staging);
      outcome.message = why + "; " + inPlace;
      log(where, "Cannot install " + kext.path() + ": " + outcome.message + ".");
    };

    // The source with the caller's rights: a bundle the caller cannot read is a failed kext.
    int rc = platform::copyTreeBeneath("/", kext.path(), volume, staging, kSystemOwner, {caller, nullptr});
    if (rc != 0) {
      fail("cannot copy it: " + std::string(std::strerror(rc)));
      continue;
    }
    const auto attributes = platform::setTreeAttributesBeneath(volume, staging, kSystemOwner, kSystemMode);
    if (!attributes.ownersSet || !attributes.modesSet) {
      fail("cannot give it owner root and mode 755");
      continue;
    }
    QLJournalChange change{QLJournalKind::kext, target, {}, {}, {}, {}};
    if (const auto after = fingerprint(volume, staging)) change.after = *after;
    if (!backupFolder.empty()) change.backup = backupFolder + "/" + name;
    if (!outcome.replaced) {
      if (!journal.record(change)) {
        fail(journal.error());
        continue;
      }
      if ((rc = platform::renameBeneath(volume, staging, target)) != 0) {
        journal.noteFailed();
        fail("cannot move it into place: " + std::string(std::strerror(rc)));
        continue;
      }
      outcome.installed = true;
      continue;
    }

    const auto store = journal.store();
    if (!store) {
      fail(journal.error());
      continue;
    }
    // Kept as "1-FakeSMC.kext"; a name too long for that keeps only the number.
    const std::string number = std::to_string(staged);
    change.kept = number.size() + 1 + name.size() <= 255 ? number + "-" + name : number + ".kext";
    const std::string kept = *store + "/" + change.kept;
    if (const auto before = fingerprint(volume, target)) change.before = *before;
    if (!journal.record(change)) {
      fail(journal.error());
      continue;
    }
    // The new copy moves into the store and then trades places with the installed kext in one
    // step: the store ends up holding the kext it replaced. Where the store is on another file
    // system, it gets a copy of the installed kext first and the staged copy is swapped instead.
    std::string swapped = kept;
    if (platform::renameBeneath(volume, staging, kept) != 0) {
      swapped = staging;
      if ((rc = platform::copyTreeBeneath(volume, target, volume, kept)) != 0) {
        journal.noteFailed();
        fail("cannot keep the installed one in the journal: " + std::string(std::strerror(rc)));
        continue;
      }
    }
    if ((rc = platform::exchangeBeneath(volume, swapped, target)) != 0) {
      journal.noteFailed();
      if (swapped == kept) platform::removeBeneath(volume, kept);
      fail("cannot swap it into place: " + std::string(std::strerror(rc)));
      continue;
    }
    // The staged name now holds the replaced kext, of which the store has a copy.
    if (swapped == staging) platform::removeBeneath(volume, staging);
    outcome.installed = true;
    outcome.kept = (volume.mountPoint() == "/" ? std::string() : volume.mountPoint()) + kept;
  }
  return outcomes;
}

std::vector<QLKernelExtension> failedKexts(const std::vector<QLKextInstallOutcome>& outcomes) {
  std::vector<QLKernelExtension> failed;
  for (const auto& outcome : outcomes)
    if (!outcome.installed) failed.push_back(outcome.kext);
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
                                           const platform::Identity* caller, QLJournalRun& journal,
                                           std::string* madeFolder) {
  if (kexts.empty()) return {};
  const std::string backupFolder = destination + backupFolderName();
  if (madeFolder) *madeFolder = backupFolder;
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
    const std::string copy = backupFolder + "/" + kext.name();
    // Nothing on the volume changes; the journal says where the copy went.
    const bool ok =
        arguments::isKextName(kext.name()) &&
        journal.record({QLJournalKind::backup, folder + kext.name(), {}, {}, {}, copy}) &&
        platform::copyTreeBeneath(volume, folder + kext.name(), "/", copy, std::nullopt, {nullptr, caller}) == 0;
    if (!ok) failed.push_back(kext);
  }
  return failed;
}

std::optional<std::string> toolFromSource(const std::string& source, const platform::HelperPlatformTable& table,
                                          const platform::Identity* caller) {
  constexpr const char* where = "QLXPCTarnixHelper::installBrambleFromSourcePath()";
  platform::FileAttributes info;
  if (source == table.bundledTool) {
    auto tool = readAs(caller, source, QLToolArchive::kMaximumArchiveBytes, info);
    // The packaged copy is the system's: one that someone else could have written is not.
    if (tool && (info.uid == 0 || info.uid == platform::currentUserId()) && !(info.mode & 022)) return tool;
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

bool recordVariableChange(std::string_view name, std::string_view value, platform::FirmwareVariables& variables,
                          QLJournalRun& journal) {
  QLJournalChange change{QLJournalKind::nvram,
                         std::string(platform::kAppleBootVariablesGuid) + ":" + std::string(name),
                         {},
                         toHex(value),
                         {},
                         {}};
  if (const auto current = variables.read(platform::kAppleBootVariablesGuid, name))
    change.before = toHex(std::string_view(reinterpret_cast<const char*>(current->data()), current->size()));
  return journal.record(change);
}

bool writeBooterWord(std::int64_t value, const platform::HelperPlatformTable& table, platform::ProcessRunner& runner,
                     platform::FirmwareVariables& variables, QLJournalRun& journal) {
  const auto encoded = encodedBooterValue(value);
  if (!encoded) return false;
  const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
  if (!recordVariableChange("bootercfg", std::string_view(bytes, 2), variables, journal)) return false;
  const auto status = runner.run(table.nvram, {kBooterVariablePrefix + *encoded});
  const bool written = status && *status == 0;
  if (!written) journal.noteFailed();
  return written;
}

int writeBootWord(const QLRootlessConfig& word, platform::FirmwareVariables& variables, QLJournalRun& journal) {
  const auto bytes = word.nvramBytes();
  if (!bytes || !word.propertyName()) return word.writeToNVRAMStatus();  // which says why
  if (!recordVariableChange(*word.propertyName(),
                            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), variables,
                            journal))
    return EIO;
  const int status = word.writeToNVRAMStatus();
  if (status != 0) journal.noteFailed();
  return status;
}

}  // namespace tarnix::QLHelperOperations
