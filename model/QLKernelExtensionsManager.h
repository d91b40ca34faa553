#pragma once
#include <string>
#include <vector>

#include "model/QLKernelExtension.h"
#include "model/QLKernelExtensionFolder.h"

namespace tarnix {

// The application's kexts waiting to be installed, and those whose installed versions must be
// backed up first. Used from the main thread only.
class QLKernelExtensionsManager {
 public:
  static QLKernelExtensionsManager& shared();

  // Appends each URL whose path extension is exactly "kext" and that is not already listed.
  void addKexts(const std::vector<std::string>& fileURLs);
  // Dropped path strings, each turned into a file URL not marked as a directory.
  void addKextsFromPaths(const std::vector<std::string>& paths);

  // The members of kextsTBI whose same-named kext exists at mountPoint + folder + "/" + name,
  // in order. Nothing for the two EZ installer choices.
  std::vector<QLKernelExtension> kextsToBackUp(const std::string& mountPoint) const;

  std::vector<QLKernelExtension> kextsTBI;
  std::vector<QLKernelExtension> kextsTBB;
  QLKernelExtensionFolder installationFolder = QLKernelExtensionFolder::LibraryExtensions;
  std::string backupFolder = "~/Desktop/";
};

}  // namespace tarnix
