#pragma once
// Putting back what a journaled run changed, newest change first. Every record is checked
// against what is there now before anything is changed: an item the user changed since the run
// (its value is neither what the run left nor what it replaced) makes the whole undo refuse,
// unless forced. An undo is itself a run in the same journal, so it can be undone in turn.
#include <cstddef>
#include <string>
#include <vector>

#include "journal/QLJournal.h"
#include "platform/FirmwareVariables.h"
#include "platform/VolumeHandle.h"

namespace tarnix {

struct QLUndoStep {
  enum class Status {
    undone,       // put back
    planned,      // would be put back (a dry run)
    alreadyBack,  // already holds what the run replaced (or the run never got to change it)
    conflict,     // changed since the run; left alone
    failed,       // could not be put back
    elsewhere,    // recorded here too, but undone from the journal it belongs to
    noted,        // nothing to undo (a copy made for the user)
  };
  QLJournalKind kind = QLJournalKind::owner;
  std::string path;
  std::string now;      // the value found, as text ("501", "755", a fingerprint's first digits, "none")
  std::string putBack;  // the value the run replaced, likewise
  Status status = Status::planned;
  std::string message;  // why, for the statuses that need one
};
std::string_view undoStatusName(QLUndoStep::Status status);

struct QLUndoOptions {
  bool dryRun = false;  // check and report, change nothing
  bool force = false;   // put back also what changed since the run
};

struct QLUndoOutcome {
  std::vector<QLUndoStep> steps;  // newest change first
  bool refused = false;           // something changed since the run, not forced: nothing was changed
  std::string error;              // the run cannot be undone at all (a damaged journal): nothing was changed
  std::string undoRun;            // the undo's own run, when it changed something
  std::vector<std::string> journalFiles;
  std::size_t count(QLUndoStep::Status status) const;
};

// A run of the volume's own journal, on that volume (held open); the undo's run goes to the
// same journal, `header` naming who asks. Records of files and firmware variables are left to
// the system journal: nothing read from a volume reaches outside it.
QLUndoOutcome undoVolumeRun(const platform::VolumeHandle& volume, const QLJournalRunContents& run,
                            const QLUndoOptions& options, QLJournalHeader header);
// A run of the system journal `place` (bootloader files, firmware variables).
QLUndoOutcome undoSystemRun(const QLJournalPlace& place, const QLJournalRunContents& run, const QLUndoOptions& options,
                            platform::FirmwareVariables& variables, QLJournalHeader header);

}  // namespace tarnix
