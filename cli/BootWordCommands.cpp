// bramble sip|booter show|set: the two boot words in NVRAM or in a bootloader's file.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "bootconfig/QLBooterConfig.h"
#include "bootconfig/QLBootloaderConfigManager.h"
#include "bootconfig/QLBootloaderConfigSearch.h"
#include "bootconfig/QLNVRAMWriteFailure.h"
#include "bootconfig/QLRootlessLocalization.h"
#include "bootconfig/QLRootlessValueLine.h"
#include "bootconfig/QLSIPConfig.h"
#include "cli/BrambleCommandSet.h"
#include "cli/CommandLine.h"
#include "model/QLOSVolumeManager.h"
#include "operations/QLHelperOperations.h"
#include "platform/Files.h"

namespace tarnix::cli {
namespace {

constexpr const char* kHelp =
    "Usage: bramble %1$s show [--config FILE] [--json]\n"
    "       bramble %1$s set VALUE [--config FILE] [--volume VOLUME] [--json]\n"
    "       bramble %1$s set --flag NAME [--flag NAME...] [--config FILE] [--volume VOLUME] [--json]\n"
    "\n"
    "The %2$s word: nine flags, 0 to 0x1ff.\n"
    "show  prints the word in NVRAM (the value line and the flags that are set) and the word of\n"
    "      each bootloader file found on the mounted EFI partitions and macOS volumes; with\n"
    "      --config only that file's.\n"
    "set   writes VALUE (hexadecimal 0x67 or decimal 103), or the flags named, to NVRAM (root),\n"
    "      or with --config into FILE (OpenCore's or Clover's config.plist%3$s); the file is\n"
    "      kept beside itself under a dated name first. The change is journaled in\n"
    "      /var/lib/tarnix/journal (as root; ~/.local/state/tarnix/journal otherwise), and in\n"
    "      VOLUME's journal too with --volume; 'bramble undo --system' puts it back.\n"
    "\n"
    "Flags:\n";

struct Kind {
  const char* command;   // "sip"
  const char* variable;  // "csr-active-config"
  const std::string_view* names;
  const std::array<QLLocalizedKey, 9>* labels;
  std::unique_ptr<QLRootlessConfig> (*make)(platform::FirmwareVariables&);
  QLBootloaderWord (QLBootloaderConfig::*wordOnDisk)() const;
  bool (QLBootloaderConfigManager::*apply)(const QLRootlessConfig&, int*, QLJournalRun*);
};

const Kind kSIP{"sip",
                "csr-active-config",
                kQLSIPConfigFlagNames,
                &kQLSIPConfigFlagLabels,
                [](platform::FirmwareVariables& variables) -> std::unique_ptr<QLRootlessConfig> {
                  return std::make_unique<QLSIPConfig>(variables);
                },
                &QLBootloaderConfig::sipWordOnDisk,
                &QLBootloaderConfigManager::applySIPConfig};
const Kind kBooter{"booter",
                   "bootercfg",
                   kQLBooterConfigFlagNames,
                   &kQLBooterConfigFlagLabels,
                   [](platform::FirmwareVariables& variables) -> std::unique_ptr<QLRootlessConfig> {
                     return std::make_unique<QLBooterConfig>(variables);
                   },
                   &QLBootloaderConfig::booterWordOnDisk,
                   &QLBootloaderConfigManager::applyBooterConfig};

const char* bootloaderName(QLBootloaderConfigType type) {
  switch (type) {
    case QLBootloaderConfigType::clover: return "Clover";
    case QLBootloaderConfigType::chameleon: return "Chameleon";
    case QLBootloaderConfigType::opencore: return "OpenCore";
    case QLBootloaderConfigType::unsupported: break;
  }
  return "unsupported";
}

const char* stateName(QLBootloaderWord::State state) {
  switch (state) {
    case QLBootloaderWord::State::value: return "value";
    case QLBootloaderWord::State::notSet: return "not-set";
    case QLBootloaderWord::State::unreadable: return "unreadable";
    case QLBootloaderWord::State::notSupported: return "not-supported";
  }
  return "unreadable";
}

std::string valueText(std::int64_t value) { return QLHexString(value) + " (" + std::to_string(value) + ")"; }

std::string wordText(const QLBootloaderWord& word) {
  switch (word.state) {
    case QLBootloaderWord::State::value: return valueText(word.value);
    case QLBootloaderWord::State::notSet: return "not set";
    case QLBootloaderWord::State::unreadable: return "not a word this tool can read";
    case QLBootloaderWord::State::notSupported: return "this bootloader has no such word";
  }
  return {};
}

nlohmann::json flagsJson(const Kind& kind, std::int64_t value) {
  nlohmann::json names = nlohmann::json::array();
  for (int bit = 0; bit < kQLRootlessConfigFlagCount; ++bit)
    if ((value >> bit) & 1) names.push_back(kind.names[bit]);
  return names;
}

void printFlags(const Kind& kind, std::int64_t value) {
  for (int bit = 0; bit < kQLRootlessConfigFlagCount; ++bit)
    if ((value >> bit) & 1)
      std::printf("  %-28s %s\n", std::string(kind.names[bit]).c_str(),
                  std::string((*kind.labels)[static_cast<std::size_t>(bit)].english).c_str());
}

void showWord(const Kind& kind, const std::string& source, const QLBootloaderWord& word, bool json,
              const nlohmann::json& extra) {
  if (json) {
    nlohmann::json object{{"word", kind.variable}, {"source", source}, {"state", stateName(word.state)},
                          {"value", nullptr},      {"hex", nullptr},   {"flags", nlohmann::json::array()}};
    if (word.state == QLBootloaderWord::State::value) {
      object["value"] = word.value;
      object["hex"] = QLHexString(word.value);
      object["flags"] = flagsJson(kind, word.value);
    }
    object.update(extra);
    return printJson(object);
  }
  std::printf("%s: %s\n", source.c_str(), wordText(word).c_str());
  if (word.state == QLBootloaderWord::State::value) printFlags(kind, word.value);
}

std::optional<std::shared_ptr<QLBootloaderConfig>> loadConfig(QLBootloaderConfigManager& manager,
                                                              const std::string& file) {
  bool loaded = false;
  {
    const QuietDiagnostics quiet;  // the line below says it
    loaded = manager.loadConfig(file);
  }
  if (!loaded) {
    printError(file + " is not a Clover, Chameleon or OpenCore configuration file (or cannot be read)");
    return std::nullopt;
  }
  return manager.currentConfig();
}

int show(const Kind& kind, const ParsedArguments& parsed) {
  if (parsed.positional.size() != 2)
    return usageError(std::string(kind.command) + " show takes no VALUE", kind.command);
  const bool json = parsed.has("--json");
  if (const auto file = parsed.value("--config")) {
    QLBootloaderConfigManager manager;
    const auto config = loadConfig(manager, *file);
    if (!config) return kExitUsage;
    showWord(kind, *file + " (" + bootloaderName((*config)->type()) + ")", ((**config).*kind.wordOnDisk)(), json,
             {{"source", "file"}, {"path", *file}, {"bootloader", bootloaderName((*config)->type())}});
    return kExitClean;
  }
  auto& variables = platform::efiFirmwareVariables();
  const auto current = kind.make(variables);
  if (json) {
    QLBootloaderWord word{current->decimalValue() ? QLBootloaderWord::State::value : QLBootloaderWord::State::notSet,
                          current->decimalValue().value_or(0)};
    showWord(kind, "nvram", word, true, {{"source", "nvram"}, {"path", nullptr}, {"available", variables.supported()}});
  } else {
    std::printf("%s in NVRAM: %s\n", kind.variable, QLRootlessValueLine::make(*current, nullptr).text().c_str());
    if (!variables.supported())
      std::printf("  (no firmware variables here: this system was not started through UEFI)\n");
    else if (current->decimalValue())
      printFlags(kind, *current->decimalValue());
  }
  // The bootloader files of this machine, where the word the bootloader hands to macOS may be.
  std::vector<std::string> volumes;
  for (const auto& mounted : QLOSVolumeManager::mountedVolumes()) volumes.push_back(mounted.volume.mountPoint);
  const auto found = QLBootloaderConfigSearch::search(QLBootloaderConfigSearch::systemPlaces(volumes));
  for (const auto& candidate : found.found) {
    QLBootloaderConfigManager manager;
    const QuietDiagnostics quiet;
    if (!manager.loadConfig(candidate.path)) continue;
    const auto config = manager.currentConfig();
    showWord(kind, candidate.path + " (" + bootloaderName(config->type()) + ")", ((*config).*kind.wordOnDisk)(), json,
             {{"source", "file"}, {"path", candidate.path}, {"bootloader", bootloaderName(config->type())}});
  }
  if (!json && found.found.empty())
    std::printf("No bootloader file found on the mounted EFI partitions and macOS volumes; name one with --config.\n");
  return kExitClean;
}

// "0x67", "103": a word of nine flags.
std::optional<std::int64_t> wordValue(const std::string& text) {
  std::string_view digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < 0 ||
      value > kQLRootlessConfigMask)
    return std::nullopt;
  return value;
}

int set(const Kind& kind, const ParsedArguments& parsed) {
  const auto flagsGiven = parsed.values.find("--flag");
  const bool byFlags = flagsGiven != parsed.values.end();
  const std::string command = kind.command;
  if (parsed.positional.size() != (byFlags ? 2u : 3u))
    return usageError(command + " set takes a VALUE or --flag NAME, not both", command);
  std::int64_t value = 0;
  if (byFlags) {
    for (const auto& name : flagsGiven->second) {
      int bit = 0;
      while (bit < kQLRootlessConfigFlagCount && kind.names[bit] != name) ++bit;
      if (bit == kQLRootlessConfigFlagCount) return usageError("no flag is named '" + name + "'", command);
      value |= std::int64_t{1} << bit;
    }
  } else if (const auto parsedValue = wordValue(parsed.positional[2])) {
    value = *parsedValue;
  } else {
    return usageError("VALUE must be a number from 0 to 0x1ff (511), not '" + parsed.positional[2] + "'", command);
  }
  const bool json = parsed.has("--json");

  // Where the change is journaled: the running system's journal, and the volume's when named.
  std::optional<OpenedVolume> volume;
  if (const auto volumePath = parsed.value("--volume")) {
    volume = openVolumeArgument(*volumePath);
    if (!volume) return kExitUsage;
  }
  std::vector<QLJournalPlace> places{systemJournal()};
  if (volume) places.push_back(volumeJournal(volume->handle));

  auto& variables = platform::efiFirmwareVariables();
  const auto word = kind.make(variables);
  word->setDecimalValue(value);
  // The journal names the file by its absolute path, whatever folder bramble ran in.
  std::optional<std::string> file = parsed.value("--config");
  if (file && !(file = platform::absolutePath(*file)))
    return usageError("cannot tell where the --config file is", command);
  QLJournalRun journal(std::move(places),
                       journalHeader(file ? "save-config" : "write-nvram", file ? *file : kind.variable));
  nlohmann::json result{
      {"word", kind.variable}, {"value", value}, {"hex", QLHexString(value)}, {"flags", flagsJson(kind, value)}};
  bool done = false;
  std::string said;
  if (file) {
    QLBootloaderConfigManager manager;
    const auto config = loadConfig(manager, *file);
    if (!config) return kExitUsage;
    if (&kind == &kBooter && (*config)->type() == QLBootloaderConfigType::chameleon) {
      printError(std::string(kQLBooterConfigVCBooterConfigNotSupportedByChameleon.english));
      return kExitUsage;
    }
    const QLBootloaderWord before = ((**config).*kind.wordOnDisk)();
    int error = 0;
    done = (manager.*kind.apply)(*word, &error, &journal);
    const std::string kept = (*config)->keptCopy();
    result.update({{"target", "file"},
                   {"path", *file},
                   {"bootloader", bootloaderName((*config)->type())},
                   {"before", before.state == QLBootloaderWord::State::value ? nlohmann::json(before.value) : nullptr},
                   {"kept", kept.empty() ? nlohmann::json(nullptr) : nlohmann::json(kept)}});
    if (done)
      said = "Saved " + std::string(kind.variable) + " = " + valueText(value) + " into " + *file + " (" +
             bootloaderName((*config)->type()) + "), which held " + wordText(before) + "." +
             (kept.empty() ? "" : " The previous file is kept as " + kept + ".");
    else
      said = "Failed: " + *file + " could not be saved: " +
             (error == EINVAL ? "its structure is in the way of the word; it is left as it was"
              : error == EIO && !journal.error().empty() ? journal.error()
                                                         : std::string(std::strerror(error))) +
             ".";
    if (!done) result["message"] = said;
  } else {
    const auto before = kind.make(variables)->decimalValue();
    result.update({{"target", "nvram"},
                   {"path", nullptr},
                   {"before", before ? nlohmann::json(*before) : nlohmann::json(nullptr)}});
    int status = ENOTSUP;
    if (variables.supported()) {
      const QuietDiagnostics quiet;  // the word's own "Result:" line
      status = QLHelperOperations::writeBootWord(*word, variables, journal);
    }
    done = status == 0;
    if (done)
      said = "Wrote " + std::string(kind.variable) + " = " + valueText(value) + " to NVRAM (it was " +
             (before ? valueText(*before) : std::string("not set")) + "); it takes effect at the next start.";
    else
      said =
          "Failed: " + std::string(kind.variable) + " could not be written to NVRAM: " +
          (status == EIO && !journal.error().empty() ? journal.error() : QLNVRAMWriteFailureReason(status).english());
    if (!done) result["message"] = said;
  }
  journal.finish();
  const auto files = journal.files();
  result["done"] = done;
  result["run"] = files.empty() ? nlohmann::json(nullptr) : nlohmann::json(journal.id());
  if (json) {
    printJson(result);
  } else {
    std::printf("%s\n", said.c_str());
    if (done) printFlags(kind, value);
    if (!files.empty())
      std::printf("Journal: run %s in %s ('bramble undo --system' puts it back).\n", journal.id().c_str(),
                  files.front().c_str());
  }
  return done ? kExitClean : kExitFindings;
}

}  // namespace

int runBootWord(const std::vector<std::string>& arguments) {
  const Kind& kind = arguments[0] == "sip" ? kSIP : kBooter;
  if (wantsHelp(arguments) || arguments.size() < 2) {
    std::FILE* out = wantsHelp(arguments) ? stdout : stderr;
    std::fprintf(out, kHelp, kind.command, kind.variable,
                 &kind == &kSIP ? ", or Chameleon's org.chameleon.Boot.plist" : "");
    for (int bit = 0; bit < kQLRootlessConfigFlagCount; ++bit)
      std::fprintf(out, "  %-28s %s\n", std::string(kind.names[bit]).c_str(),
                   std::string((*kind.labels)[static_cast<std::size_t>(bit)].english).c_str());
    return wantsHelp(arguments) ? kExitClean : kExitUsage;
  }
  std::string error;
  const auto parsed = parseArguments(arguments, 0, {"--config", "--volume", "--flag"}, {"--json"}, error);
  if (!parsed) return usageError(error, kind.command);
  if (arguments[1] == "show") return show(kind, *parsed);
  if (arguments[1] == "set") return set(kind, *parsed);
  return usageError("unknown " + std::string(kind.command) + " command '" + arguments[1] + "'", kind.command);
}

}  // namespace tarnix::cli
