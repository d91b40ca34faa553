#pragma once
// Unpacking a downloaded tool archive into the Updates folder. Only names that stay beneath
// the folder are accepted; an archive with any other name is refused before anything is
// written, and only a regular file named after the tool at the top of the archive is handed
// on to be installed.
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace tarnix::QLCommandLineToolArchive {

// At most this much is unpacked from one archive.
inline constexpr std::uint64_t kMaximumUnpackedBytes = 512ull << 20;

// The name an entry is written under, relative to the folder ("a/b", "dir/" for a folder), or
// nothing for a name that is empty, absolute, or has a ".." component. "." components are
// dropped.
std::optional<QString> safeEntryName(const QString& name);

struct Outcome {
  // The unpacked tool, when the archive held it.
  std::optional<QString> toolPath;
  // Why nothing (or not everything) was unpacked; empty on success.
  QString error;
};

// Unpacks `archive` into `folder` (which must exist), replacing what is there. Links are never
// followed: an existing link in the way is replaced, and a folder in the way that is a link
// refuses the entry. `progress` gets the fraction of entries done, from 0 to 1.
Outcome unpack(const QString& archive, const QString& folder, const QString& toolFileName,
               const std::function<void(double)>& progress = {});

}  // namespace tarnix::QLCommandLineToolArchive
