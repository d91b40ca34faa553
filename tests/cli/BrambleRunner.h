#pragma once
// Runs the built bramble as a user would and collects what it printed.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"

namespace tarnix::test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string brambleBinary() { return std::string(TARNIX_BINARY_DIR) + "/cli/bramble"; }

// `arguments` are shell words; `environment` ("NAME=value ...") comes first, and the command
// runs in `folder` when one is given.
inline Outcome bramble(const std::string& arguments, const std::string& folder = {},
                       const std::string& environment = {}) {
  TempDir scratch;
  const std::string command = (folder.empty() ? std::string() : "cd '" + folder + "' && ") + "env " + environment +
                              " " + brambleBinary() + " " + arguments + " > " + (scratch / "out") + " 2> " +
                              (scratch / "err") + " < /dev/null";
  const int raw = std::system(command.c_str());
  Outcome run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = slurp(scratch / "out");
  run.err = slurp(scratch / "err");
  return run;
}

}  // namespace tarnix::test
