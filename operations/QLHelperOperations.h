#pragma once
// The work behind the helper's operations, apart from connections and authorization, so that
// the daemon and a command line run as root call the same code. Each takes the volume already
// opened (and, for an untrusted caller, checked) and `caller`: whose rights the files and
// folders the caller names are read and written with (null: the process's own). Each change
// is written to `journal` before it is made, and not made when it cannot be written.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bootconfig/QLRootlessConfig.h"
#include "engine/RZBrambleDelegate.h"
#include "engine/RZChangeObserver.h"
#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "journal/QLJournal.h"
#include "model/QLKernelExtension.h"
#include "model/QLOSVolume.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Identity.h"
#include "platform/Process.h"
#include "platform/TreeOperations.h"
#include "platform/VolumeHandle.h"

namespace tarnix::QLHelperOperations {

// Installed kexts and every item inside them: root's, rwxr-xr-x.
inline constexpr platform::Ownership kSystemOwner{0, 0};
inline constexpr std::uint32_t kSystemMode = 0755;

// Writes each owner, group and mode change a repair is about to make to a journal on the
// repaired volume: the changes of a group of items in one write, before the first of them is
// made; a group it cannot write is held back (and reported failed).
class QLJournalChangeRecorder final : public RZChangeObserver {
 public:
  explicit QLJournalChangeRecorder(QLJournalRun& journal) : journal_(journal) {}
  bool willChange(const QLFileSystemResource& resource, QLFileSystemResourceAttributeMismatchedType attribute,
                  std::int64_t before, std::int64_t after) override;
  bool commit() override;

 private:
  QLJournalRun& journal_;
};

// Results handed out in batches while a repair runs; false once nobody takes them any more
// (the rest are dropped).
using QLResultBatches = std::function<bool(std::vector<QLRepairPermissionsRepresentableResult>&&)>;

// The repair-permissions job on `volume` (described by `described`) with `threads` workers,
// reporting progress to `delegate`; results name files by the volume's mount point. With
// `batches`, the results go there as the repair produces them and none are returned.
std::vector<QLRepairPermissionsRepresentableResult> repairPermissions(const platform::VolumeHandle& volume,
                                                                      const QLOSVolume& described, std::int64_t threads,
                                                                      RZBrambleDelegate* delegate,
                                                                      QLJournalRun& journal,
                                                                      const QLResultBatches& batches = {});
// `chown -R 0:0` and `chmod -R 755` of one kext folder ("/Library/Extensions/"), without
// following links or leaving the volume. True when both succeeded everywhere.
bool repairKextFolder(const platform::VolumeHandle& volume, const std::string& folder, QLJournalRun& journal);
// kextcache -i on the volume where the program exists; otherwise the extension folders are
// touched so that the volume's own system rebuilds its caches.
bool rebuildCaches(const platform::VolumeHandle& volume, const platform::HelperPlatformTable& table,
                   platform::ProcessRunner& runner);
struct QLKextInstallOutcome {
  QLKernelExtension kext;
  bool installed = false;
  bool replaced = false;  // a kext of that name was there before
  std::string kept;       // where the journal keeps the kext it replaced, as the user sees it
  std::string message;    // for a kext that failed: why, and what is in place now
};
// Copies each kext (read with the caller's rights) into `folder` and gives it the system owner
// and mode. The copy is made under a temporary name in `folder` and swapped into place in one
// step, so a failure or a kill at any moment leaves the kext that was there or the new one,
// never neither; what an earlier install cut short left there is removed first. The kext it
// replaces is kept in the journal's store. `backupFolder`: where backupKexts put copies, for
// the journal. One outcome per kext, in order.
std::vector<QLKextInstallOutcome> installKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                               const std::vector<QLKernelExtension>& kexts,
                                               const platform::Identity* caller, QLJournalRun& journal,
                                               const std::string& backupFolder = {});
std::vector<QLKernelExtension> failedKexts(const std::vector<QLKextInstallOutcome>& outcomes);
// Copies the kexts of those names installed in `folder` into a new dated folder inside
// `destination`, which the caller creates and owns (its path in `backupFolder`, when given).
// The kexts that failed.
std::vector<QLKernelExtension> backupKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                           const std::vector<QLKernelExtension>& kexts, const std::string& destination,
                                           const platform::Identity* caller, QLJournalRun& journal,
                                           std::string* backupFolder = nullptr);

// The command-line tool named by `source`, read with the caller's rights: the packaged copy
// (which must belong to root or to this process's user and be writable by nobody else), or a
// feed archive whose signature (source + ".sig") verifies against the built-in key, from
// which the tool is taken. Nothing for any other source.
std::optional<std::string> toolFromSource(const std::string& source, const platform::HelperPlatformTable& table,
                                          const platform::Identity* caller);
// Stops a running copy, then writes `tool` to the tool path as root's, rwxr-xr-x.
bool installTool(const std::string& tool, const platform::HelperPlatformTable& table);
// Stops a running copy and removes the installed tool; false when there was none.
bool uninstallTool(const platform::HelperPlatformTable& table);

// "0028" gives "%28%00": the low byte first. Nothing outside 0...0xFFFF.
std::optional<std::string> encodedBooterValue(std::int64_t value);
// Writes the booter word to NVRAM through the nvram tool; the value it replaces is read from
// `variables` for the journal.
bool writeBooterWord(std::int64_t value, const platform::HelperPlatformTable& table, platform::ProcessRunner& runner,
                     platform::FirmwareVariables& variables, QLJournalRun& journal);
// Writes a word (csr-active-config, bootercfg) to NVRAM in this process. 0 or the errno value
// of QLRootlessConfig::writeToNVRAMStatus (EIO: it could not be journaled).
int writeBootWord(const QLRootlessConfig& word, platform::FirmwareVariables& variables, QLJournalRun& journal);
// Records that a variable is about to change from what it holds now to `value`.
bool recordVariableChange(std::string_view name, std::string_view value, platform::FirmwareVariables& variables,
                          QLJournalRun& journal);

// The local time as "yyyyMMdd_HHmmss".
std::string backupFolderName();

}  // namespace tarnix::QLHelperOperations
