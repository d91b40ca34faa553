#pragma once
// Replacing a file so that a reader, a crash or a kill sees the old contents or the new ones,
// never a part.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace tarnix::platform {

struct AtomicReplaceHooks {
  // Runs after the temporary file is written and flushed, before it takes the file's place.
  // A non-zero errno value abandons the replacement with that error.
  std::function<int()> beforeRename;
};

// Writes `contents` to a temporary file in the same folder, flushes it to the disk and renames
// it over `path`. A link at `path` is followed, so its target is replaced and the link stays.
// The new file keeps the permission bits of the old one (and its owner, where the caller may
// set it); a file that did not exist gets `newFileMode`. 0 or an errno value; on failure the
// old file is untouched and the temporary file removed.
int replaceFileAtomically(const std::string& path, std::string_view contents, std::uint32_t newFileMode = 0644,
                          const AtomicReplaceHooks* hooks = nullptr);

// Copies the file at `path` (the target, for a link) to a new file beside it named after the
// local time `when`: "config.plist" becomes "config-2024_05_01_12_30_05.plist", with "-2", "-3"
// added when that name is taken. An existing file is never replaced. The copy is flushed to the
// disk and has the file's permission bits. 0 with `copyPath` set, or an errno value (ENOENT:
// there is no file to keep).
int keepDatedCopy(const std::string& path, std::time_t when, std::string& copyPath);

}  // namespace tarnix::platform
