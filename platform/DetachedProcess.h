#pragma once
// Starting a child whose outcome nobody waits for.
#include <string>
#include <vector>

namespace tarnix::platform {

// Starts `program` (absolute path) and reaps it in the background so it leaves no zombie.
// False when it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tarnix::platform
