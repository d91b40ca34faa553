#include "cli/BrambleCommands.h"

int main(int argc, char** argv) { return tarnix::cli::runBramble(std::vector<std::string>(argv + 1, argv + argc)); }
