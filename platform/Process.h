#pragma once
// Child processes, judged by their exit status alone.
#include <optional>
#include <string>
#include <vector>

namespace tarnix::platform {

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs `program` (an absolute path) with `arguments` and waits for it. The exit status,
  // or nothing when the program could not be started or did not exit normally.
  virtual std::optional<int> run(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

ProcessRunner& linuxProcessRunner();

// Runs `program` and collects its standard output (at most `limit` bytes); its input is empty
// and its standard error is dropped. Nothing when it could not be started or did not exit
// with status 0.
std::optional<std::string> captureOutput(const std::string& program, const std::vector<std::string>& arguments,
                                         std::size_t limit = 1 << 20);

}  // namespace tarnix::platform
