#include "bootconfig/QLBootloaderConfigSearch.h"

#include <algorithm>
#include <cerrno>

#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {

QLBootloaderConfigPlaces QLBootloaderConfigSearch::systemPlaces(std::vector<std::string> macOSVolumes) {
  return {platform::mountedFileSystemsWithEfiPartitions(), std::move(macOSVolumes), platform::efiSystemPartitions()};
}

QLBootloaderConfigSearchResult QLBootloaderConfigSearch::search(const QLBootloaderConfigPlaces& places) {
  QLBootloaderConfigSearchResult result;
  auto look = [&](const std::string& root, std::string_view relative, QLBootloaderConfigType type) {
    int error = 0;
    const auto path = platform::findFileIgnoringCase(root, relative, error);
    if (path && std::none_of(result.found.begin(), result.found.end(),
                             [&](const QLBootloaderConfigCandidate& seen) { return seen.path == *path; }))
      result.found.push_back({*path, type});
    return error;
  };
  for (const platform::Mount& mount : platform::fatMounts(places.mounts)) {
    result.fatMountPoints.push_back(mount.mountPoint);
    const int openCore = look(mount.mountPoint, kOpenCorePath, QLBootloaderConfigType::opencore);
    const int clover = look(mount.mountPoint, kCloverPath, QLBootloaderConfigType::clover);
    if (openCore == EACCES || clover == EACCES) result.unreadable.push_back(mount);
  }
  for (const std::string& volume : places.macOSVolumes) look(volume, kChameleonPath, QLBootloaderConfigType::chameleon);
  result.unmountedEfiSystemPartitions = platform::unmountedPartitions(places.efiSystemPartitions, places.mounts);
  return result;
}

std::vector<QLLocalizedText> QLBootloaderConfigSearch::hints(const QLBootloaderConfigSearchResult& result) {
  std::vector<QLLocalizedText> hints;
  for (const platform::Mount& mount : result.unreadable)
    hints.push_back({kQLBootloaderFileChooserUnreadable, {mount.mountPoint, mount.source}});
  for (const platform::BlockPartition& partition : result.unmountedEfiSystemPartitions)
    hints.push_back({kQLBootloaderFileChooserMountPartition, {partition.path}});
  if (result.fatMountPoints.empty() && result.unmountedEfiSystemPartitions.empty())
    hints.push_back({kQLBootloaderFileChooserNoEfiPartition, {}});
  return hints;
}

}  // namespace tarnix
