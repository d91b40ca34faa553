#pragma once
// Internal to platform/: opening paths inside a root directory.
#include <string_view>

namespace tarnix::platform::detail {

// openat2(RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS) of `relative` inside `rootFd`; "" or "/"
// opens the root itself. `flags` are open flags (O_CLOEXEC is added). -1 with errno set on
// failure.
int openBeneath(int rootFd, std::string_view relative, int flags);

// Splits "/a/b/c" into "/a/b" and "c"; "/c" into "" and "c". An empty or "/" path has an
// empty leaf.
void splitParent(std::string_view relative, std::string_view& parent, std::string_view& leaf);

}  // namespace tarnix::platform::detail
