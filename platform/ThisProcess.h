#pragma once
// The running process itself: where it was started from, what it was given, how it ends.
#include <optional>
#include <string>

namespace tarnix::platform {

// The path of the running executable (/proc/self/exe); empty when the kernel cannot say.
std::string ownExecutablePath();

// The value of an environment variable; nothing when it is unset.
std::optional<std::string> environmentVariable(const char* name);

// Writing to a socket or pipe whose reader has gone answers EPIPE instead of ending the process.
void ignoreBrokenPipes();

// Flushes standard output and error, then ends the process at once with `status`: no static
// destructors, no atexit handlers (threads may still hold what they would destroy).
[[noreturn]] void exitImmediately(int status);

}  // namespace tarnix::platform
