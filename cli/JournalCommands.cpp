// bramble journal and bramble undo: the recorded runs, and putting one back.
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/BrambleCommandSet.h"
#include "cli/CommandLine.h"
#include "journal/QLJournal.h"
#include "operations/QLUndo.h"
#include "platform/FirmwareVariables.h"

namespace tarnix::cli {
namespace {

constexpr const char* kJournalHelp =
    "Usage: bramble journal VOLUME [--json]\n"
    "       bramble journal --system [--json]\n"
    "\n"
    "Lists the runs recorded in the journal of VOLUME (its Library/Logs/Tarnix/Journal), newest\n"
    "first: run id, start time, operation, changes, and whether the run ended, was cut short\n"
    "(a crash or a kill: it still covers every change it made) or was undone. --system lists\n"
    "the journal of NVRAM writes and bootloader file saves: /var/lib/tarnix/journal as root,\n"
    "~/.local/state/tarnix/journal (where the application records your saves) otherwise.\n"
    "  --json          one JSON object per run\n";

constexpr const char* kUndoHelp =
    "Usage: bramble undo VOLUME [RUN] [--dry-run] [--force] [--json]\n"
    "       bramble undo --system [RUN] [--dry-run] [--force] [--json]\n"
    "\n"
    "Puts back what a run changed, newest change first: owners, groups and modes, a kext it\n"
    "installed (the one it replaced comes back from the journal), a bootloader file (from the\n"
    "copy kept beside it), an NVRAM variable. Without RUN, the newest run that changed something\n"
    "and was not undone yet. Everything is checked first: when something changed since the run,\n"
    "undo says what and changes nothing. The undo is a run of the journal itself ('bramble undo\n"
    "VOLUME UNDO-RUN' redoes). Records read from a volume only ever change that volume.\n"
    "  --dry-run       check and show what would be put back; change nothing\n"
    "  --force         put back also what changed since the run\n"
    "  --json          one JSON object per change, then one for the undo\n";

struct Where {
  std::shared_ptr<OpenedVolume> volume;  // where `place` points: it must not move
  QLJournalPlace place;
  std::string name;  // "/mnt/mac", or "the system"
};

// The journal a command names: a volume's, or with --system the running system's.
std::optional<Where> journalOf(const ParsedArguments& parsed, std::size_t& next, const char* command, int& status) {
  if (parsed.has("--system")) {
    next = 1;
    return Where{nullptr, systemJournal(), "the system"};
  }
  if (parsed.positional.size() < 2) {
    status = usageError(std::string(command) + " needs a VOLUME or --system", command);
    return std::nullopt;
  }
  auto volume = openVolumeArgument(parsed.positional[1]);
  if (!volume) {
    status = kExitUsage;
    return std::nullopt;
  }
  next = 2;
  auto held = std::make_shared<OpenedVolume>(std::move(*volume));
  return Where{held, volumeJournal(held->handle), held->described.mountPoint};
}

std::string stateOf(const QLJournalRunSummary& run) {
  if (!run.damage.empty()) return "damaged (" + run.damage + ")";
  std::string state = run.end ? "complete" : "cut short";
  if (run.end && run.end->failed) state += ", " + std::to_string(run.end->failed) + " failed";
  if (!run.header.undoes.empty()) state += ", undoes " + run.header.undoes;
  if (!run.undoneBy.empty()) state += ", undone by " + run.undoneBy;
  return state;
}

// An item's owner, group and mode are put back together.
std::string_view stepKind(const QLUndoStep& step) {
  const bool attributes =
      step.kind == QLJournalKind::owner || step.kind == QLJournalKind::group || step.kind == QLJournalKind::mode;
  return attributes ? std::string_view("item") : journalKindName(step.kind);
}

// "2026-12-10T09:45:00.123456Z" as "2026-12-10 09:45:00 UTC".
std::string shownTime(const std::string& time) {
  if (time.size() < 19) return time;
  return time.substr(0, 10) + " " + time.substr(11, 8) + " UTC";
}

}  // namespace

int runJournal(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kJournalHelp, stdout);
    return kExitClean;
  }
  std::string error;
  const auto parsed = parseArguments(arguments, 0, {}, {"--system", "--json"}, error);
  if (!parsed) return usageError(error, "journal");
  std::size_t next = 0;
  int status = kExitClean;
  const auto where = journalOf(*parsed, next, "journal", status);
  if (!where) return status;
  if (parsed->positional.size() != next) return usageError("journal takes one VOLUME, or --system", "journal");
  int readError = 0;
  const auto runs = listJournalRuns(where->place, &readError);
  if (readError != 0) {
    printError("cannot read the journal " + where->place.shownFolder + ": " + std::strerror(readError));
    return kExitFindings;
  }
  if (parsed->has("--json")) {
    for (const auto& run : runs)
      printJson({{"run", run.header.run},
                 {"time", run.header.time},
                 {"operation", run.header.operation},
                 {"target", run.header.target},
                 {"tool", run.header.tool},
                 {"uid", run.header.uid},
                 {"changes", run.changes},
                 {"failed", run.end ? run.end->failed : 0},
                 {"complete", run.end.has_value()},
                 {"damage", run.damage.empty() ? nlohmann::json(nullptr) : nlohmann::json(run.damage)},
                 {"undoes", run.header.undoes.empty() ? nlohmann::json(nullptr) : nlohmann::json(run.header.undoes)},
                 {"undoneBy", run.undoneBy.empty() ? nlohmann::json(nullptr) : nlohmann::json(run.undoneBy)},
                 {"file", run.file}});
    return kExitClean;
  }
  std::printf("Journal of %s: %s\n", where->name.c_str(), where->place.shownFolder.c_str());
  if (runs.empty()) {
    std::printf("No runs recorded yet.\n");
    return kExitClean;
  }
  std::printf("%-24s %-23s %-19s %7s  %s\n", "RUN", "STARTED", "OPERATION", "CHANGES", "STATE");
  for (const auto& run : runs)
    std::printf("%-24s %-23s %-19s %7llu  %s\n", run.header.run.c_str(), shownTime(run.header.time).c_str(),
                run.header.operation.c_str(), static_cast<unsigned long long>(run.changes), stateOf(run).c_str());
  return kExitClean;
}

int runUndo(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kUndoHelp, stdout);
    return kExitClean;
  }
  std::string error;
  const auto parsed = parseArguments(arguments, 0, {}, {"--system", "--json", "--dry-run", "--force"}, error);
  if (!parsed) return usageError(error, "undo");
  std::size_t next = 0;
  int status = kExitClean;
  const auto where = journalOf(*parsed, next, "undo", status);
  if (!where) return status;
  if (parsed->positional.size() > next + 1) return usageError("undo takes one RUN at most", "undo");
  const bool json = parsed->has("--json");

  std::string runId;
  if (parsed->positional.size() == next + 1) {
    runId = parsed->positional[next];
  } else {
    for (const auto& run : listJournalRuns(where->place)) {
      // Copies for the user change nothing; a volume's records of files and variables are
      // undone from the system's journal.
      const auto& operation = run.header.operation;
      const bool pending = run.changes > 0 && run.header.undoes.empty() && run.undoneBy.empty();
      const bool systemCopy = where->volume && (operation == "save-config" || operation == "write-nvram");
      if (pending && systemCopy && !json) {
        // Said, so that "nothing to undo" or an older run undone is not taken for the newest.
        std::fprintf(stderr, "bramble: run %s (%s) is taken back from the system's journal: bramble undo --system %s\n",
                     run.header.run.c_str(), operation.c_str(), run.header.run.c_str());
      }
      if (pending && operation != "backup-kexts" && !systemCopy) {
        runId = run.header.run;
        break;
      }
    }
    if (runId.empty()) {
      printError("nothing to undo in the journal of " + where->name + " (" + where->place.shownFolder + ")");
      return kExitFindings;
    }
  }
  std::string why;
  const auto run = readJournalRun(where->place, runId, why);
  if (!run) {
    printError("cannot undo run " + runId + " of " + where->place.shownFolder + ": " + why);
    return kExitUsage;
  }

  const QLUndoOptions options{parsed->has("--dry-run"), parsed->has("--force")};
  auto header = journalHeader("undo", where->volume ? where->volume->described.mountPoint : "system");
  const auto outcome =
      where->volume ? undoVolumeRun(where->volume->handle, *run, options, std::move(header))
                    : undoSystemRun(where->place, *run, options, platform::efiFirmwareVariables(), std::move(header));
  if (!outcome.error.empty()) {
    printError("cannot undo: " + outcome.error);
    return kExitFindings;
  }
  for (const auto& step : outcome.steps) {
    if (json) {
      printJson({{"kind", stepKind(step)},
                 {"path", step.path},
                 {"now", step.now},
                 {"putBack", step.putBack},
                 {"status", undoStatusName(step.status)},
                 {"message", step.message.empty() ? nlohmann::json(nullptr) : nlohmann::json(step.message)}});
      continue;
    }
    std::string line = std::string(undoStatusName(step.status)) + ": " + std::string(stepKind(step)) + " " + step.path;
    if (!step.now.empty() || !step.putBack.empty()) line += ": " + step.now + " -> " + step.putBack;
    if (!step.message.empty()) line += " (" + step.message + ")";
    std::printf("%s\n", line.c_str());
  }
  using Status = QLUndoStep::Status;
  const std::size_t done = outcome.count(options.dryRun ? Status::planned : Status::undone);
  const std::size_t failed = outcome.count(Status::failed);
  const std::size_t conflicts = outcome.count(Status::conflict);
  const std::string& operation = run->summary.header.operation;
  if (json) {
    printJson({{"run", runId},
               {"operation", operation},
               {"dryRun", options.dryRun},
               {"refused", outcome.refused},
               {"undone", options.dryRun ? 0 : done},
               {"planned", options.dryRun ? done : 0},
               {"alreadyBack", outcome.count(Status::alreadyBack)},
               {"conflicts", conflicts},
               {"failed", failed},
               {"undoRun", outcome.undoRun.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.undoRun)}});
  } else if (outcome.refused) {
    std::printf(
        "Refused: %zu of the changes of run %s (%s) were changed again since; nothing was changed. "
        "--dry-run shows them all, --force puts them back anyway.\n",
        conflicts, runId.c_str(), operation.c_str());
  } else {
    std::printf("%s run %s (%s of %s): %zu put back%s, %zu already as before%s.\n",
                options.dryRun ? "Would undo" : "Undid", runId.c_str(), operation.c_str(),
                shownTime(run->summary.header.time).c_str(), done, options.dryRun ? " (dry run)" : "",
                outcome.count(Status::alreadyBack), failed ? (", " + std::to_string(failed) + " failed").c_str() : "");
    if (!outcome.undoRun.empty() && !outcome.journalFiles.empty())
      std::printf("Journal: run %s in %s ('bramble undo %s %s' redoes it).\n", outcome.undoRun.c_str(),
                  outcome.journalFiles.front().c_str(), where->volume ? where->name.c_str() : "--system",
                  outcome.undoRun.c_str());
  }
  return outcome.refused || failed > 0 ? kExitFindings : kExitClean;
}

}  // namespace tarnix::cli
