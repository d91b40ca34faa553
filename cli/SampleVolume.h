#pragma once
// A macOS-shaped volume in a folder, for trying the tool and for tests and benchmarks:
// SystemVersion.plist, receipts in both repair groups (binary and XML, one in a
// sub-folder, one in no repair group), BOMs written by our writer, and items whose owners
// and modes differ from what the receipts prescribe, set-user-id files and links among them.
#include <cstddef>
#include <string>

namespace tarnix::cli {

struct SampleVolumeOptions {
  std::string directory;
  // Regular files of the generated bulk; folders and links scale with it (89 files to a
  // folder, one link for every 8.9 files).
  std::size_t files = 60;
};

struct SampleVolumeSummary {
  std::size_t entries = 0;      // items made on disk
  std::size_t receipts = 0;     // receipts written, the ignored ones included
  std::size_t wrongItems = 0;   // items given a wrong owner, group or mode
  bool prescribesRoot = false;  // receipts prescribe 0:0 (made as root) or the caller's ids
};

// Refuses a directory that exists and is not empty. False with `error` set on failure.
bool makeSampleVolume(const SampleVolumeOptions& options, SampleVolumeSummary& summary, std::string& error);

}  // namespace tarnix::cli
