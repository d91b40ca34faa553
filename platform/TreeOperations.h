#pragma once
// Changing, copying and removing whole trees with directory descriptors. Every path is a
// `relative` path resolved beneath a root (absolute and ".." links stay inside it; "/" as the
// root means the host). Links met inside a tree are never followed: they are copied as links,
// removed as links, and get their own owner changed but never a mode.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Identity.h"
#include "platform/VolumeHandle.h"

namespace tarnix::platform {

struct Ownership {
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
};

struct TreeAttributesOutcome {
  bool ownersSet = false;  // every item got the owner (what `chown -R` calls success)
  bool modesSet = false;   // every item but the links got the mode (`chmod -R`)
};

// Where a tree operation resolves its paths: a folder named by path, opened anew by each call
// ("/" is the host's root), or a volume held open, whose file system the operation never
// leaves when it is confined.
class TreeRoot {
 public:
  TreeRoot(std::string path) : path_(std::move(path)) {}
  TreeRoot(const char* path) : path_(path) {}
  TreeRoot(const VolumeHandle& volume) : volume_(&volume) {}
  // A new descriptor of the root (the caller closes it), or -1 with errno set.
  int open() const;
  // The resolve flags that keep a confined volume's paths on its own mount.
  std::uint64_t resolve() const;

 private:
  std::string path_;
  const VolumeHandle* volume_ = nullptr;
};

// Whose rights each side of a copy is done with; null is the process's own.
struct CopyIdentities {
  const Identity* reader = nullptr;
  const Identity* writer = nullptr;
};

// The outcome of `chown -R uid:gid` and `chmod -R mode` on the item at `relative` (which must
// not itself be a link), without following a link and without entering another file system.
TreeAttributesOutcome setTreeAttributesBeneath(const TreeRoot& root, std::string_view relative, Ownership owner,
                                               std::uint32_t mode);

// Each answers 0 or an errno value.
// Removes a file, a link or a whole tree, without entering another file system; ENOENT when
// nothing is there.
int removeBeneath(const TreeRoot& root, std::string_view relative);
// Copies the item at `from` (a top-level link is followed inside its root; links inside are
// copied as links) to `to`, which must not exist (EEXIST). Permission bits are copied without
// set-id bits; with `owner`, every copied item gets it. The source is opened and read with
// the reader's rights, the copy made with the writer's (and belongs to the writer).
int copyTreeBeneath(const TreeRoot& fromRoot, std::string_view from, const TreeRoot& toRoot, std::string_view to,
                    std::optional<Ownership> owner = std::nullopt, CopyIdentities as = {});
// Creates the folder and its missing parents with `mode` (and `owner` for the ones created).
int makeDirectoriesBeneath(const TreeRoot& root, std::string_view relative, std::uint32_t mode,
                           std::optional<Ownership> owner = std::nullopt);
// Sets the modification time of the item to now.
int touchBeneath(const TreeRoot& root, std::string_view relative);
// Writes `contents` as a new file (EEXIST when something is there) with `mode` and `owner`.
int writeFileBeneath(const TreeRoot& root, std::string_view relative, std::string_view contents, std::uint32_t mode,
                     std::optional<Ownership> owner = std::nullopt);

}  // namespace tarnix::platform
