#pragma once
// The work behind the helper's operations, apart from connections and authorization, so that
// the daemon and a command line run as root call the same code. Each takes the volume already
// opened (and, for an untrusted caller, checked) and `caller`: whose rights the files and
// folders the caller names are read and written with (null: the process's own).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/QLRepairPermissionsRepresentableResult.h"
#include "engine/RZBrambleDelegate.h"
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

// The repair-permissions job on `volume` (described by `described`) with `threads` workers,
// reporting progress to `delegate`; results name files by the volume's mount point.
std::vector<QLRepairPermissionsRepresentableResult> repairPermissions(const platform::VolumeHandle& volume,
                                                                      const QLOSVolume& described,
                                                                      std::int64_t threads, RZBrambleDelegate* delegate);
// `chown -R 0:0` and `chmod -R 755` of one kext folder ("/Library/Extensions/"), without
// following links or leaving the volume. True when both succeeded everywhere.
bool repairKextFolder(const platform::VolumeHandle& volume, const std::string& folder);
// kextcache -i on the volume where the program exists; otherwise the extension folders are
// touched so that the volume's own system rebuilds its caches.
bool rebuildCaches(const platform::VolumeHandle& volume, const platform::HelperPlatformTable& table,
                   platform::ProcessRunner& runner);
// Copies each kext (read with the caller's rights) into `folder`, replacing what is there,
// and gives it the system owner and mode. The kexts that failed.
std::vector<QLKernelExtension> installKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                            const std::vector<QLKernelExtension>& kexts,
                                            const platform::Identity* caller);
// Copies the kexts of those names installed in `folder` into a new dated folder inside
// `destination`, which the caller creates and owns. The kexts that failed.
std::vector<QLKernelExtension> backupKexts(const platform::VolumeHandle& volume, const std::string& folder,
                                           const std::vector<QLKernelExtension>& kexts, const std::string& destination,
                                           const platform::Identity* caller);

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
// Writes the booter word to NVRAM through the nvram tool.
bool writeBooterWord(std::int64_t value, const platform::HelperPlatformTable& table, platform::ProcessRunner& runner);

// The local time as "yyyyMMdd_HHmmss".
std::string backupFolderName();

}  // namespace tarnix::QLHelperOperations
