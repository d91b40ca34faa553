#pragma once
// Where a bootloader's files live: FAT file systems (EFI system partitions at /boot/efi or
// /efi, and removable media), and the EFI system partitions nobody has mounted yet.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Mounts.h"

namespace tarnix::platform {

// The GPT partition type of an EFI system partition.
inline constexpr std::string_view kEfiSystemPartitionType = "c12a7328-f81f-11d2-ba4b-00a0c93ec93b";

// The FAT mounts ("vfat", "msdos") among `mounts`, in mount order, each mount point once.
std::vector<Mount> fatMounts(const std::vector<Mount>& mounts);
// The running system's mounts, after looking into the EFI partition's usual places (/efi,
// /boot/efi, /boot) that systemd mounts only on first access.
std::vector<Mount> mountedFileSystemsWithEfiPartitions();

struct BlockPartition {
  std::string path;    // "/dev/sda1"
  std::string device;  // "8:1", as a mount's device number
  friend bool operator==(const BlockPartition&, const BlockPartition&) = default;
};

// The partitions whose GPT type is the EFI system partition, by the kernel's block devices and
// udev's database of them (both readable without privileges).
std::vector<BlockPartition> efiSystemPartitions(const std::string& sysClassBlock = "/sys/class/block",
                                                const std::string& udevData = "/run/udev/data");
// Those of `partitions` that no mount of `mounts` uses.
std::vector<BlockPartition> unmountedPartitions(const std::vector<BlockPartition>& partitions,
                                                const std::vector<Mount>& mounts);

// The regular file at `relative` ("EFI/OC/config.plist") beneath `root`, each component matched
// without regard to ASCII case, as FAT matches names. Folders on the way must be folders, not
// links. Nothing when there is no such file; `error` then tells EACCES (a folder could not be
// read) from 0 (simply absent).
std::optional<std::string> findFileIgnoringCase(const std::string& root, std::string_view relative, int& error);

}  // namespace tarnix::platform
