#pragma once
// Finding the bootloader's configuration file for the user: OpenCore's and Clover's on mounted
// FAT file systems (EFI system partitions, removable media), Chameleon's on macOS volumes.
#include <string>
#include <string_view>
#include <vector>

#include "bootconfig/QLBootloaderConfigType.h"
#include "bootconfig/QLLocalizedKey.h"
#include "platform/EfiSystemPartitions.h"
#include "platform/Mounts.h"

namespace tarnix {

struct QLBootloaderConfigCandidate {
  std::string path;
  // The bootloader whose place the file is found in.
  QLBootloaderConfigType type = QLBootloaderConfigType::unsupported;
  friend bool operator==(const QLBootloaderConfigCandidate&, const QLBootloaderConfigCandidate&) = default;
};

// Where to look.
struct QLBootloaderConfigPlaces {
  std::vector<platform::Mount> mounts;
  // Mount points of macOS volumes, the chosen one first.
  std::vector<std::string> macOSVolumes;
  std::vector<platform::BlockPartition> efiSystemPartitions;
};

struct QLBootloaderConfigSearchResult {
  std::vector<QLBootloaderConfigCandidate> found;
  // The FAT mount points searched, and the mounts of them that could not be read with the
  // caller's rights (an EFI partition mounted for root only).
  std::vector<std::string> fatMountPoints;
  std::vector<platform::Mount> unreadable;
  // EFI system partitions that are not mounted: where to look when nothing was found.
  std::vector<platform::BlockPartition> unmountedEfiSystemPartitions;
};

class QLBootloaderConfigSearch {
 public:
  // Relative to the root of the file system each is looked for in.
  static constexpr std::string_view kOpenCorePath = "EFI/OC/config.plist";
  static constexpr std::string_view kCloverPath = "EFI/CLOVER/config.plist";
  static constexpr std::string_view kChameleonPath = "Extra/org.chameleon.Boot.plist";

  // The running system's mounts and EFI system partitions, with `macOSVolumes`.
  static QLBootloaderConfigPlaces systemPlaces(std::vector<std::string> macOSVolumes);
  // Reads folders only; every file found is a regular file, each listed once.
  static QLBootloaderConfigSearchResult search(const QLBootloaderConfigPlaces& places);
  // What to tell the user beside what was found: the partitions only root can read, the EFI
  // system partitions still to mount, or how to find one when no FAT file system is mounted.
  static std::vector<QLLocalizedText> hints(const QLBootloaderConfigSearchResult& result);
};

}  // namespace tarnix
