#pragma once
// Changing, copying and removing whole trees with directory descriptors. Every path is a
// `relative` path resolved beneath `root` (absolute and ".." links stay inside it; "/" as the
// root means the host). Links met inside a tree are never followed: they are copied as links,
// removed as links, and get their own owner changed but never a mode.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix::platform {

struct Ownership {
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
};

struct TreeAttributesOutcome {
  bool ownersSet = false;  // every item got the owner (what `chown -R` calls success)
  bool modesSet = false;   // every item but the links got the mode (`chmod -R`)
};

// The outcome of `chown -R uid:gid` and `chmod -R mode` on the item at `relative` (which must
// not itself be a link), without following a link and without entering another file system.
TreeAttributesOutcome setTreeAttributesBeneath(const std::string& root, std::string_view relative,
                                               Ownership owner, std::uint32_t mode);

// Each answers 0 or an errno value.
// Removes a file, a link or a whole tree; ENOENT when nothing is there.
int removeBeneath(const std::string& root, std::string_view relative);
// Copies the item at `from` (a top-level link is followed inside its root; links inside are
// copied as links) to `to`, which must not exist (EEXIST). Permission bits are copied without
// set-id bits; with `owner`, every copied item gets it.
int copyTreeBeneath(const std::string& fromRoot, std::string_view from, const std::string& toRoot,
                    std::string_view to, std::optional<Ownership> owner = std::nullopt);
// Creates the folder and its missing parents with `mode` (and `owner` for the ones created).
int makeDirectoriesBeneath(const std::string& root, std::string_view relative, std::uint32_t mode,
                           std::optional<Ownership> owner = std::nullopt);
// Sets the modification time of the item to now.
int touchBeneath(const std::string& root, std::string_view relative);

}  // namespace tarnix::platform
