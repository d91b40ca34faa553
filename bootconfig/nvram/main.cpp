#include <iostream>

#include "bootconfig/nvram/NvramTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return tarnix::nvram::run(arguments, tarnix::platform::efiFirmwareVariables(), std::cout, std::cerr);
}
