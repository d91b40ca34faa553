#pragma once
// Plain file access. Everything that reads a foreign volume goes through the *Beneath
// functions, which resolve a path inside the volume root the way the volume's own system
// would: absolute and ".." links stay inside it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/VolumeTree.h"

namespace tarnix::platform {

inline constexpr std::size_t kDefaultReadLimit = 1u << 30;  // 1 GiB

// `path` made absolute against the working folder, "." and ".." names and doubled slashes
// taken out by their text (links are not resolved). Nothing when the working folder is gone.
std::optional<std::string> absolutePath(const std::string& path);

// Whether something exists at `path` (a dangling link counts as existing).
bool pathExists(const std::string& path);
bool isDirectory(const std::string& path);

// The whole file, or nothing when it cannot be read, is not a regular file or is larger than
// `limit`. With `attributes`, the owner and mode of the file that was opened (a path that
// changes meanwhile cannot hand over another file's).
std::optional<std::string> readFile(const std::string& path, std::size_t limit = kDefaultReadLimit,
                                    FileAttributes* attributes = nullptr);

// `relative` is resolved beneath `root` ("" or "/" for the root itself).
std::optional<std::string> readFileBeneath(const std::string& root, std::string_view relative,
                                           std::size_t limit = kDefaultReadLimit);
bool existsBeneath(const std::string& root, std::string_view relative);

// Reads `absolutePath` through the volume at `mountPoint` when the path lies inside it, else
// as a plain path (an empty mount point means the running system).
std::optional<std::string> readFileInVolume(const std::string& mountPoint, const std::string& absolutePath,
                                            std::size_t limit = kDefaultReadLimit);

// A file mapped read-only into memory: large files (BOMs of whole systems) are read without
// copying them into a buffer first.
class MappedFile {
 public:
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();
  std::string_view bytes() const { return {data_, size_}; }
  // Lets go of the pages read so far: they count as this process's memory while mapped, and
  // come back from the page cache when read again.
  void releasePages() const;

 private:
  friend std::unique_ptr<MappedFile> mapFd(int fd, std::size_t limit);
  MappedFile(const char* data, std::size_t size) : data_(data), size_(size) {}
  const char* data_;
  std::size_t size_;
};
// Nothing when the file cannot be opened, is not a regular file, or is larger than `limit`.
std::unique_ptr<MappedFile> mapFile(const std::string& path, std::size_t limit = kDefaultReadLimit);
// As readFileInVolume.
std::unique_ptr<MappedFile> mapFileInVolume(const std::string& mountPoint, const std::string& absolutePath,
                                            std::size_t limit = kDefaultReadLimit);

// Paths relative to `folder` (no leading slash) of everything beneath it, depth first, each
// folder in name order as HFS+ lists it (letters without case, then bytes); links are listed but never followed. Empty
// when the folder cannot be opened. The folder itself is resolved beneath `root`.
std::vector<std::string> enumerateBeneath(const std::string& root, std::string_view folder);

// Building trees (sample volumes, tests). Each answers an errno value, 0 on success.
int makeDirectories(const std::string& path, std::uint32_t mode = 0755);
int writeFile(const std::string& path, std::string_view contents, std::uint32_t mode = 0644);
int makeSymlink(const std::string& target, const std::string& linkPath);
int setOwnerNoFollow(const std::string& path, std::uint32_t uid, std::uint32_t gid);
int setModeNoFollow(const std::string& path, std::uint32_t permissions);
int removeTree(const std::string& path);
// Removes one file (or link, or socket), never a folder.
int removeFile(const std::string& path);
// rename(2): replaces what is at `to` in one step.
int renamePath(const std::string& from, const std::string& to);

// Whether nothing is at `path`, or a socket (a link is not followed).
bool isSocketOrMissing(const std::string& path);
// The kernel's answer to whether this process may write, or run, `path`: unlike permission
// bits it knows read-only mounts and access lists.
bool isWritable(const std::string& path);
bool isExecutable(const std::string& path);

// While it lives, the process's file-creation mask is `mask` (for every thread: hold it only
// around a creation that must not be masked, and not while other threads create files).
class CreationMask {
 public:
  explicit CreationMask(std::uint32_t mask);
  ~CreationMask();
  CreationMask(const CreationMask&) = delete;
  CreationMask& operator=(const CreationMask&) = delete;

 private:
  std::uint32_t previous_;
};

std::uint32_t currentUserId();
std::uint32_t currentGroupId();

// The user's folder for state that outlives a run: $XDG_STATE_HOME, else ~/.local/state (the
// home folder from $HOME, else the password database). Nothing when neither is known.
std::optional<std::string> userStateFolder();
// The user's data folder likewise: $XDG_DATA_HOME, else ~/.local/share.
std::optional<std::string> userDataFolder();

}  // namespace tarnix::platform
