#pragma once
// The command line of the system's `nvram` tool, over firmware variables:
//   nvram [GUID:]name=value   set (value bytes written as text, "%xx" for any byte)
//   nvram [GUID:]name         print one
//   nvram -d [GUID:]name      delete
//   nvram -p                  print all
// A name without a GUID is one of the macOS boot variables. Exit status 0 on success.
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/FirmwareVariables.h"

namespace tarnix::nvram {

int run(const std::vector<std::string>& arguments, platform::FirmwareVariables& variables, std::ostream& out,
        std::ostream& err);

}  // namespace tarnix::nvram
