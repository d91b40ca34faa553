#pragma once
// The journal of what Tarnix changed: where journals are kept, writing one run, and reading
// runs back. A run is one file of JSON lines (see QLJournalRecord.h) named after its id, with
// a folder of the same name beside it where the run keeps bytes it replaced (a kext it
// replaced). Each change is written, with one write(2), before it is made: a run cut short by
// a crash or a kill still covers everything it changed.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/QLJournalRecord.h"
#include "platform/TreeOperations.h"
#include "platform/VolumeHandle.h"

namespace tarnix {

// Where a volume keeps its journal, from its root.
inline constexpr std::string_view kQLVolumeJournalFolder = "/Library/Logs/Tarnix/Journal";

struct QLJournalPlace {
  platform::TreeRoot root;  // the volume held open, or the host's "/"
  std::string folder;       // the journal folder beneath `root`
  std::string shownFolder;  // the same as the user sees it, for messages
  bool onVolume = false;    // records name items of this volume, and runs keep bytes here
};

// The journal of a volume held open (which must outlive the place); written through its
// descriptor, never through a path looked up again.
QLJournalPlace volumeJournal(const platform::VolumeHandle& volume);
// The journal of changes that belong to no volume (firmware variables, bootloader files):
// /var/lib/tarnix/journal for root (under TARNIX_ROOT_PREFIX), the user's own
// $XDG_STATE_HOME/tarnix/journal (~/.local/state/tarnix/journal) for anyone else, who cannot
// write the system's; TARNIX_SYSTEM_JOURNAL for everyone when it is set.
QLJournalPlace systemJournal();

// One run being written. Thread-safe: the engine's workers record changes at once.
class QLJournalRun {
 public:
  // The run's lines go to every place; `header` gets its id and time here. Nothing is written
  // before the first change, so a run that changes nothing leaves nothing behind.
  QLJournalRun(std::vector<QLJournalPlace> places, QLJournalHeader header);
  ~QLJournalRun();
  QLJournalRun(const QLJournalRun&) = delete;
  QLJournalRun& operator=(const QLJournalRun&) = delete;

  const QLJournalHeader& header() const { return header_; }
  const std::string& id() const { return header_.run; }

  // Writes the change to every place; call it before making the change, and make the change
  // only when it answers true. False when it could not be written (error() says why).
  bool record(const QLJournalChange& change);
  // The same in two steps, for many changes written in one go: appends the change's line to
  // `lines`, then writes `lines` (several changes' lines) to every place.
  void format(const QLJournalChange& change, std::string& lines);
  bool write(std::string_view lines);
  // A change that was recorded and then failed.
  void noteFailed(std::uint64_t count = 1) { failed_ += count; }
  // The same for a step that failed, when it had recorded a change since changes() was `before`.
  void noteFailedSince(std::uint64_t before) {
    if (changes() > before) noteFailed();
  }
  std::uint64_t changes() const { return seq_.load(); }

  // The run's store on the volume (the first place on one), made on first use: its path
  // beneath the volume's root. Nothing when there is no volume place or it cannot be made.
  std::optional<std::string> store();

  // Writes the end line (the counts) and flushes the files to the disk. Once; the destructor
  // does it when nobody did.
  void finish();

  // The files the run was written to, as the user sees them (empty before the first change).
  std::vector<std::string> files() const;
  std::string error() const;

 private:
  bool open();

  std::vector<QLJournalPlace> places_;
  QLJournalHeader header_;
  std::vector<platform::AppendFile> files_;
  std::atomic<std::uint64_t> seq_{0};
  std::atomic<std::uint64_t> failed_{0};
  mutable std::mutex mutex_;  // opening, the store, the error, finishing
  bool opened_ = false;
  bool finished_ = false;
  std::string store_;
  std::string error_;
};

// A run as listed.
struct QLJournalRunSummary {
  QLJournalHeader header;
  std::uint64_t changes = 0;        // change lines read
  std::optional<QLJournalEnd> end;  // missing: the run was cut short (a crash, a kill)
  std::string damage;               // not empty: a line before the last could not be read
  std::string undoneBy;             // the run that undid it, when one did
  std::string file;                 // as the user sees it
};

struct QLJournalRunContents {
  QLJournalRunSummary summary;
  std::vector<QLJournalRecord> records;  // in the order written
};

// Runs of a journal folder, newest first, each read line by line within the bounds of
// QLJournalRecord.h; files that are no run are left out. Empty when there is no journal; an
// errno value in `error` when the folder exists but cannot be read.
std::vector<QLJournalRunSummary> listJournalRuns(const QLJournalPlace& place, int* error = nullptr);
// One run with its records; nothing, with `why`, when it is missing, is not a run or holds too
// many records. A last line cut short is left out; a damaged line before it is in `damage`.
std::optional<QLJournalRunContents> readJournalRun(const QLJournalPlace& place, std::string_view run, std::string& why);

}  // namespace tarnix
