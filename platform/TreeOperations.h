#pragma once
// Changing, copying and removing whole trees with directory descriptors. Every path is a
// `relative` path resolved beneath a root (absolute and ".." links stay inside it; "/" as the
// root means the host). Links met inside a tree are never followed: they are copied as links,
// removed as links, and get their own owner changed but never a mode.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Identity.h"
#include "platform/VolumeHandle.h"
#include "platform/VolumeTree.h"

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

// Told of each item whose owner or mode is about to change, with its path beneath the root and
// its attributes as they are; answering false leaves the item as it is (and the outcome failed).
using TreeChangeObserver = std::function<bool(std::string_view relative, const FileAttributes& current)>;

// The outcome of `chown -R uid:gid` and `chmod -R mode` on the item at `relative` (which must
// not itself be a link), without following a link and without entering another file system.
// Items that already have the owner and mode are left alone.
TreeAttributesOutcome setTreeAttributesBeneath(const TreeRoot& root, std::string_view relative, Ownership owner,
                                               std::uint32_t mode, const TreeChangeObserver* observer = nullptr);

// Each answers 0 or an errno value.
// Removes a file, a link or a whole tree, without entering another file system; ENOENT when
// nothing is there.
int removeBeneath(const TreeRoot& root, std::string_view relative);
// Copies the item at `from` (a top-level link is followed inside its root; links inside are
// copied as links) to `to`, which must not exist (EEXIST). Permission bits are copied without
// set-id bits; with `owner`, every copied item gets it. The source is opened and read with
// the reader's rights, the copy made with the writer's (and belongs to the writer).
// A copy that fails part-way is removed: nothing is left at `to`.
int copyTreeBeneath(const TreeRoot& fromRoot, std::string_view from, const TreeRoot& toRoot, std::string_view to,
                    std::optional<Ownership> owner = std::nullopt, CopyIdentities as = {});
// Creates the folder and its missing parents with `mode` (and `owner` for the ones created);
// ENOTDIR when something other than a folder is in the way.
int makeDirectoriesBeneath(const TreeRoot& root, std::string_view relative, std::uint32_t mode,
                           std::optional<Ownership> owner = std::nullopt);
// Sets the modification time of the item to now.
int touchBeneath(const TreeRoot& root, std::string_view relative);
// Writes `contents` as a new file (EEXIST when something is there) with `mode` and `owner`;
// when that fails part-way, the file is removed again.
int writeFileBeneath(const TreeRoot& root, std::string_view relative, std::string_view contents, std::uint32_t mode,
                     std::optional<Ownership> owner = std::nullopt);

// Swaps the two items in one step (renameat2 RENAME_EXCHANGE): whoever looks sees both before
// or both after, never one missing. Both must be on one file system (EXDEV otherwise).
int exchangeBeneath(const TreeRoot& root, std::string_view first, std::string_view second);
// Renames `from` to `to` in one step; EEXIST when something is at `to`.
int renameBeneath(const TreeRoot& root, std::string_view from, std::string_view to);

// The names in a folder (without "." and ".."); nothing when it cannot be read.
std::optional<std::vector<std::string>> listFolderBeneath(const TreeRoot& root, std::string_view relative);
// The item's own attributes (a link's, never its target's); nothing when it is missing.
std::optional<FileAttributes> attributesBeneath(const TreeRoot& root, std::string_view relative);

// The item's modification time in seconds since 1970; nothing when it is missing.
std::optional<std::int64_t> modificationTimeBeneath(const TreeRoot& root, std::string_view relative);

// A text that changes whenever anything in the tree at `relative` changes: every item's path,
// type, mode, owner, size and modification time (the top item's times left out, since moving
// it may change them), and each link's target. Nothing when the tree cannot be read.
std::optional<std::string> describeTreeBeneath(const TreeRoot& root, std::string_view relative);

// A file written only at its end, each piece with one write(2): what was appended is the
// kernel's once append() returns, and survives a crash or kill of this process.
class AppendFile {
 public:
  // Creates the file (EEXIST when something is there) with `mode`; 0 or an errno value.
  int create(const TreeRoot& root, std::string_view relative, std::uint32_t mode);
  AppendFile() = default;
  AppendFile(AppendFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  AppendFile& operator=(AppendFile&&) = delete;
  AppendFile(const AppendFile&) = delete;
  ~AppendFile();
  bool isOpen() const { return fd_ >= 0; }
  // Appends `bytes` whole; 0 or an errno value. Safe from several threads at once.
  int append(std::string_view bytes) const;
  // Flushes what was appended to the disk; 0 or an errno value.
  int sync() const;

 private:
  int fd_ = -1;
};

// How a line handed to forEachLineBeneath ended.
enum class LineEnd { newline, endOfFile, tooLong };
// Reads a file line by line, at most `maxLine` bytes a line, until `line` answers false or the
// file ends; a last line without a line feed ends with endOfFile, a longer one is cut and ends
// with tooLong. 0 or an errno value (ENOENT when there is no such file).
int forEachLineBeneath(const TreeRoot& root, std::string_view relative, std::size_t maxLine,
                       const std::function<bool(std::string_view line, LineEnd end)>& line);

// The kinds of system call the operations above make on a named item, for tests to make fail
// (FailingTreeCall in platform/Fakes.h): a full disk, a denied folder or a mount met mid-way.
enum class TreeCall {
  status,
  open,
  list,
  makeFolder,
  createFile,
  write,
  makeLink,
  readLink,
  owner,
  mode,
  remove,
  rename
};

}  // namespace tarnix::platform
