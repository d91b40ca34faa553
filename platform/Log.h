#pragma once
// Diagnostics in the project's one form: "Class::method() text", one line each.
#include <string>
#include <string_view>

namespace tarnix::platform {

enum class LogSink { standardOutput, standardError, discard };

// Where diagnostics go; standard output by default. The command-line tool moves them to
// standard error so that its machine-readable output stays clean.
void setLogSink(LogSink sink);

// Writes `where` (for example "QLOSVersion::init()"), a blank and `text` as one line. Both are
// escaped first, since text often carries what a client or a volume supplied.
void diagnostic(std::string_view where, std::string_view text);

// `text` with nothing a terminal or a log reader acts on: control characters (C0, DEL, C1)
// become \n, \r, \t or \xNN, a backslash becomes \\, each byte of invalid UTF-8 becomes \xNN.
// Valid UTF-8 otherwise passes unchanged.
std::string escapedForLog(std::string_view text);

}  // namespace tarnix::platform
