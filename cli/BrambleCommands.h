#pragma once
// The commands of bramble, the command-line edition of the permission repair.
#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace tarnix::cli {

// `arguments` without the program name.
int runBramble(const std::vector<std::string>& arguments);

}  // namespace tarnix::cli
