#pragma once
// Acting for another user on one thread: a root daemon opens what a caller names with the
// caller's rights, so it can never read or create what the caller could not.
#include <sys/types.h>

#include <vector>

namespace tarnix::platform {

struct Identity {
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;
};

// While it lives, file access on the calling thread is checked as `identity` (file-system
// uid and gid, supplementary groups), and what the thread creates belongs to it. Only this
// thread changes: the raw system calls are used, since glibc's wrappers would change every
// thread of the process; but a thread started meanwhile inherits it, so start none. A null
// identity changes nothing. When the switch fails (a daemon that is not root), ok() is false
// and the thread is left as it was.
class ActingAs {
 public:
  explicit ActingAs(const Identity* identity);
  ~ActingAs();
  ActingAs(const ActingAs&) = delete;
  ActingAs& operator=(const ActingAs&) = delete;
  bool ok() const { return ok_; }

 private:
  void restore();
  bool switched_ = false;
  bool ok_ = true;
  uid_t savedUid_ = 0;
  gid_t savedGid_ = 0;
  std::vector<gid_t> savedGroups_;
};

// Runs `action` on this thread as `identity` (null: as the thread is); `failed` when the
// switch cannot be made, without running `action`.
template <typename Action, typename Result>
Result actingAs(const Identity* identity, Result failed, Action action) {
  ActingAs as(identity);
  if (!as.ok()) return failed;
  return action();
}

}  // namespace tarnix::platform
