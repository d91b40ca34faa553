#pragma once
// What every bramble command shares: messages, exit codes, options, opening a volume, JSON lines.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "journal/QLJournalRecord.h"
#include "model/QLOSVolume.h"
#include "platform/VolumeHandle.h"

namespace tarnix::cli {

// Exit codes: 0 nothing wrong (or everything done), 1 mismatches found or something failed or
// was refused, 2 bad usage or not a valid volume.
enum ExitCode : int { kExitClean = 0, kExitFindings = 1, kExitUsage = 2 };

// "bramble: message" on standard error.
void printError(const std::string& message);
// The same, with a hint to the command's help; kExitUsage.
int usageError(const std::string& message, const std::string& command);
void writeOut(const std::string& text);
bool wantsHelp(const std::vector<std::string>& arguments);
std::optional<long> positiveNumber(const std::string& text);

// Options after the command's own words: those in `valued` take the next argument as their value
// (and may be repeated), those in `flags` take none; anything else starting with "-" is an error.
struct ParsedArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> values;
  std::set<std::string> flags;
  bool has(const std::string& flag) const { return flags.count(flag) > 0; }
  std::optional<std::string> value(const std::string& option) const;
};
// Nothing, with the message in `error`, for an unknown option or a value missing.
std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments, std::size_t first,
                                              const std::set<std::string>& valued, const std::set<std::string>& flags,
                                              std::string& error);

// A macOS volume named on the command line: its description and the folder held open.
struct OpenedVolume {
  QLOSVolume described;
  platform::VolumeHandle handle;
};
// Nothing after printing why (not a folder, not a macOS volume).
std::optional<OpenedVolume> openVolumeArgument(const std::string& path);

// Who a run of the journal was made for: this tool, this user.
QLJournalHeader journalHeader(std::string operation, std::string target);

// While it lives, the libraries' diagnostics are dropped: for a call whose failure bramble
// reports in its own words.
class QuietDiagnostics {
 public:
  QuietDiagnostics();
  ~QuietDiagnostics();
  QuietDiagnostics(const QuietDiagnostics&) = delete;
  QuietDiagnostics& operator=(const QuietDiagnostics&) = delete;
};

// One JSON object on a line of its own; text that is not UTF-8 is shown with replacements.
void printJson(const nlohmann::json& object);

}  // namespace tarnix::cli
