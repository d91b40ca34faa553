#include "cli/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/Files.h"
#include "platform/Log.h"

#ifndef TARNIX_VERSION
#define TARNIX_VERSION "0.0.0"
#endif

namespace tarnix::cli {

void printError(const std::string& message) { std::fprintf(stderr, "bramble: %s\n", message.c_str()); }

int usageError(const std::string& message, const std::string& command) {
  printError(message);
  std::fprintf(stderr, "Try 'bramble %s--help'.\n", command.empty() ? "" : (command + " ").c_str());
  return kExitUsage;
}

void writeOut(const std::string& text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
}

bool wantsHelp(const std::vector<std::string>& arguments) {
  return std::any_of(arguments.begin(), arguments.end(),
                     [](const std::string& argument) { return argument == "--help" || argument == "-h"; });
}

std::optional<long> positiveNumber(const std::string& text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

std::optional<std::string> ParsedArguments::value(const std::string& option) const {
  const auto found = values.find(option);
  if (found == values.end() || found->second.empty()) return std::nullopt;
  return found->second.back();
}

std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments, std::size_t first,
                                              const std::set<std::string>& valued, const std::set<std::string>& flags,
                                              std::string& error) {
  ParsedArguments parsed;
  for (std::size_t i = first; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (valued.count(argument)) {
      if (i + 1 >= arguments.size()) {
        error = argument + " needs a value";
        return std::nullopt;
      }
      parsed.values[argument].push_back(arguments[++i]);
    } else if (flags.count(argument)) {
      parsed.flags.insert(argument);
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option '" + argument + "'";
      return std::nullopt;
    } else {
      parsed.positional.push_back(argument);
    }
  }
  return parsed;
}

std::optional<OpenedVolume> openVolumeArgument(const std::string& path) {
  if (!platform::isDirectory(path)) {
    printError(path + " is not a folder");
    return std::nullopt;
  }
  const auto absolute = platform::absolutePath(path);
  if (!absolute) {
    printError("cannot tell where " + path + " is: the working folder is gone");
    return std::nullopt;
  }
  std::optional<QLOSVolume> volume;
  {
    // The line below says why the folder is refused; the model's own diagnostic would repeat it.
    const QuietDiagnostics quiet;
    volume = QLOSVolume::initWithMountPoint(*absolute);
  }
  if (!volume) {
    printError(path + " is not a macOS volume: it has no readable System/Library/CoreServices/SystemVersion.plist");
    return std::nullopt;
  }
  // Whoever runs bramble acts with their own rights: the folder is held as it is, and
  // everything afterwards is done beneath it.
  auto opened = platform::openVolume(*absolute);
  if (!opened.volume) {
    printError("cannot open " + path + ": " + std::string(platform::describe(opened.refusal)));
    return std::nullopt;
  }
  return OpenedVolume{std::move(*volume), std::move(*opened.volume)};
}

QLJournalHeader journalHeader(std::string operation, std::string target) {
  return {{},
          {},
          std::move(operation),
          std::move(target),
          std::string("bramble ") + TARNIX_VERSION,
          static_cast<std::int64_t>(platform::currentUserId()),
          {}};
}

QuietDiagnostics::QuietDiagnostics() { platform::setLogSink(platform::LogSink::discard); }
QuietDiagnostics::~QuietDiagnostics() { platform::setLogSink(platform::LogSink::standardError); }

void printJson(const nlohmann::json& object) {
  const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  writeOut(line);
}

}  // namespace tarnix::cli
