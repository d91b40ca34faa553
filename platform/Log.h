#pragma once
// Diagnostics in the project's one form: "Class::method() text", one line each.
#include <string_view>

namespace tarnix::platform {

enum class LogSink { standardOutput, standardError, discard };

// Where diagnostics go; standard output by default. The command-line tool moves them to
// standard error so that its machine-readable output stays clean.
void setLogSink(LogSink sink);

// Writes `where` (for example "QLOSVersion::init()"), a blank and `text` as one line.
void diagnostic(std::string_view where, std::string_view text);

}  // namespace tarnix::platform
