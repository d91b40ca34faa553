#include "platform/Identity.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/Log.h"

namespace tarnix::platform {
namespace {

// setfsuid and setfsgid answer the previous value and never fail visibly: ask again to check.
bool setFsUid(uid_t uid) {
  ::syscall(SYS_setfsuid, uid);
  return static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1))) == uid;
}
bool setFsGid(gid_t gid) {
  ::syscall(SYS_setfsgid, gid);
  return static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1))) == gid;
}
bool setThreadGroups(const std::vector<gid_t>& groups) {
  return ::syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

}  // namespace

ActingAs::ActingAs(const Identity* identity) {
  if (!identity) return;
  savedUid_ = static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1)));
  savedGid_ = static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1)));
  const long count = ::syscall(SYS_getgroups, 0, nullptr);
  if (count >= 0) {
    savedGroups_.resize(static_cast<std::size_t>(count));
    if (::syscall(SYS_getgroups, count, savedGroups_.data()) != count) savedGroups_.clear();
  }
  // Groups first (only a thread that may change them gets further), then the gid: once the
  // uid is not 0 the thread may no longer change either.
  switched_ = count >= 0 && setThreadGroups(identity->groups);
  ok_ = switched_ && setFsGid(identity->gid) && setFsUid(identity->uid);
  if (!ok_) {
    diagnostic("QLIdentity::actAs()", "Error: cannot act as uid " + std::to_string(identity->uid) + ".");
    restore();
  }
}

ActingAs::~ActingAs() { restore(); }

void ActingAs::restore() {
  if (!switched_) return;
  switched_ = false;
  // The uid back first: it brings back the capabilities that setting the groups needs.
  if (setFsUid(savedUid_) && setFsGid(savedGid_) && setThreadGroups(savedGroups_)) return;
  // A thread that cannot become itself again must not go on with the wrong rights.
  diagnostic("QLIdentity::actAs()", "Error: cannot restore the thread's identity.");
  std::abort();
}

}  // namespace tarnix::platform
