#pragma once
// The commands of bramble, the command-line edition of the permission repair.
#include <string>
#include <vector>

namespace tarnix::cli {

// Exit codes: 0 nothing wrong (or everything fixed), 1 mismatches found or repairs failed,
// 2 bad usage or not a valid volume.
enum ExitCode : int { kExitClean = 0, kExitFindings = 1, kExitUsage = 2 };

// `arguments` without the program name.
int runBramble(const std::vector<std::string>& arguments);

}  // namespace tarnix::cli
