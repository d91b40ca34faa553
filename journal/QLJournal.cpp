#include "journal/QLJournal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "journal/QLJournalJson.h"
#include "platform/Files.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Log.h"
#include "platform/Uuid.h"

namespace tarnix {
namespace {

constexpr std::string_view kRunSuffix = ".jsonl";
// Far above any real journal; a forged one cannot make the reader hold more.
constexpr std::size_t kMostRuns = 10000;
constexpr std::size_t kMostRecords = 4u << 20;

std::string newRunId() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[24];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ-", &utc);
  unsigned char random[16];
  platform::newUuid(random);
  return stamp + toHex(std::string_view(reinterpret_cast<const char*>(random), 3));
}

std::string runFile(const QLJournalPlace& place, std::string_view run) {
  return place.folder + "/" + std::string(run) + std::string(kRunSuffix);
}

// Reads a run's file line by line. `record` gets each change; false from it stops the reading.
bool readRun(const QLJournalPlace& place, std::string_view run, QLJournalRunSummary& summary,
             const std::function<bool(QLJournalRecord&&)>& record, std::string& why) {
  bool first = true;
  bool stopped = false;
  const int error = platform::forEachLineBeneath(
      place.root, runFile(place, run), kQLJournalMaxLine, [&](std::string_view text, platform::LineEnd end) {
        auto line = end == platform::LineEnd::tooLong ? QLJournalLine{} : parseJournalLine(text);
        if (end == platform::LineEnd::tooLong) line.error = "the line is too long";
        if (first) {
          first = false;
          if (line.type != QLJournalLine::Type::header || line.header.run != run) {
            why = "its first line is no run header";
            stopped = true;
            return false;
          }
          summary.header = std::move(line.header);
          return true;
        }
        if (line.type == QLJournalLine::Type::invalid || line.run != run || line.type == QLJournalLine::Type::header ||
            summary.end) {
          // A line cut short by a crash or a kill is the last one and has no line feed;
          // anything else is damage.
          if (end == platform::LineEnd::endOfFile) return false;
          summary.damage = "line " + std::to_string(summary.changes + 2) + ": " +
                           (line.type == QLJournalLine::Type::invalid ? line.error : "a line out of place in this run");
          return false;
        }
        if (line.type == QLJournalLine::Type::end) {
          summary.end = line.end;
          return true;
        }
        ++summary.changes;
        if (!record(std::move(line.record))) {
          stopped = true;
          return false;
        }
        return true;
      });
  if (error != 0) {
    why = error == ENOENT ? "there is no such run" : std::strerror(error);
    return false;
  }
  if (first) why = "the file is empty";
  return !first && !stopped;
}

}  // namespace

QLJournalPlace volumeJournal(const platform::VolumeHandle& volume) {
  const std::string& mountPoint = volume.mountPoint();
  return {volume, std::string(kQLVolumeJournalFolder),
          (mountPoint == "/" ? std::string() : mountPoint) + std::string(kQLVolumeJournalFolder), true};
}

QLJournalPlace systemJournal() {
  std::string folder;
  const auto& table = platform::HelperPlatformTable::current();
  if (table.systemJournalForEveryone) {
    folder = table.systemJournalFolder;
  } else if (platform::currentUserId() == 0) {
    folder = table.installed(table.systemJournalFolder);
  } else if (const auto state = platform::userStateFolder()) {
    folder = *state + "/tarnix/journal";
  }
  // No home at all: a folder nobody can make, so that recording fails and says where.
  if (folder.empty()) folder = "/nonexistent/tarnix/journal";
  return {"/", folder, folder, false};
}

QLJournalRun::QLJournalRun(std::vector<QLJournalPlace> places, QLJournalHeader header)
    : places_(std::move(places)), header_(std::move(header)) {
  header_.run = newRunId();
  header_.time = journalTimeNow();
}

QLJournalRun::~QLJournalRun() { finish(); }

bool QLJournalRun::open() {
  // Under mutex_.
  if (opened_) return files_.size() == places_.size();
  opened_ = true;
  std::string line;
  appendJournalHeader(header_, line);
  for (const auto& place : places_) {
    platform::AppendFile file;
    int rc = platform::makeDirectoriesBeneath(place.root, place.folder, 0755);
    if (rc == 0) rc = file.create(place.root, runFile(place, header_.run), 0644);
    if (rc == 0) rc = file.append(line);
    if (rc != 0) {
      error_ = "cannot write the journal in " + place.shownFolder + ": " + std::strerror(rc);
      platform::diagnostic("QLJournalRun::record()", error_);
      return false;
    }
    files_.push_back(std::move(file));
  }
  return true;
}

bool QLJournalRun::record(const QLJournalChange& change) {
  thread_local std::string line;
  line.clear();
  format(change, line);
  return write(line);
}

void QLJournalRun::format(const QLJournalChange& change, std::string& lines) {
  appendJournalRecord(header_, {seq_.fetch_add(1) + 1, journalTimeNow(), change}, lines);
}

bool QLJournalRun::write(std::string_view lines) {
  {
    std::lock_guard lock(mutex_);
    if (finished_ || !open()) {
      if (finished_) error_ = "the run has ended";
      return false;
    }
  }
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (const int rc = files_[i].append(lines)) {
      std::lock_guard lock(mutex_);
      error_ = "cannot write the journal in " + places_[i].shownFolder + ": " + std::strerror(rc);
      platform::diagnostic("QLJournalRun::record()", error_);
      return false;
    }
  }
  return true;
}

std::optional<std::string> QLJournalRun::store() {
  std::lock_guard lock(mutex_);
  if (!store_.empty()) return store_;
  for (const auto& place : places_) {
    if (!place.onVolume) continue;
    const std::string folder = place.folder + "/" + header_.run;
    if (const int rc = platform::makeDirectoriesBeneath(place.root, folder, 0755)) {
      error_ = "cannot make the journal's store " + place.shownFolder + "/" + header_.run + ": " + std::strerror(rc);
      platform::diagnostic("QLJournalRun::store()", error_);
      return std::nullopt;
    }
    store_ = folder;
    return store_;
  }
  return std::nullopt;
}

void QLJournalRun::finish() {
  std::lock_guard lock(mutex_);
  if (finished_) return;
  finished_ = true;
  if (!opened_ || files_.size() != places_.size()) return;
  std::string line;
  appendJournalEnd(header_, {journalTimeNow(), seq_.load(), failed_.load()}, line);
  for (std::size_t i = 0; i < files_.size(); ++i) {
    int rc = files_[i].append(line);
    if (rc == 0) rc = files_[i].sync();
    if (rc != 0)
      platform::diagnostic("QLJournalRun::finish()",
                           "cannot end the journal in " + places_[i].shownFolder + ": " + std::strerror(rc));
  }
}

std::vector<std::string> QLJournalRun::files() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> shown;
  if (!opened_) return shown;
  for (std::size_t i = 0; i < files_.size(); ++i)
    shown.push_back(places_[i].shownFolder + "/" + header_.run + std::string(kRunSuffix));
  return shown;
}

std::string QLJournalRun::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::vector<QLJournalRunSummary> listJournalRuns(const QLJournalPlace& place, int* error) {
  if (error) *error = 0;
  std::vector<QLJournalRunSummary> runs;
  const auto names = platform::listFolderBeneath(place.root, place.folder);
  if (!names) {
    if (error && errno != ENOENT) *error = errno ? errno : EIO;
    return runs;
  }
  std::vector<std::string> ids;
  for (const auto& name : *names) {
    if (name.size() <= kRunSuffix.size() || !name.ends_with(kRunSuffix)) continue;
    const std::string id = name.substr(0, name.size() - kRunSuffix.size());
    if (isJournalRunId(id)) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end(), std::greater<>());
  if (ids.size() > kMostRuns) ids.resize(kMostRuns);
  for (const auto& id : ids) {
    QLJournalRunSummary summary;
    std::string why;
    if (!readRun(
            place, id, summary, [](QLJournalRecord&&) { return true; }, why))
      continue;
    summary.file = place.shownFolder + "/" + id + std::string(kRunSuffix);
    runs.push_back(std::move(summary));
  }
  // Newest first by the time each run started (ids only have seconds), then by id.
  std::stable_sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
    return a.header.time != b.header.time ? a.header.time > b.header.time : a.header.run > b.header.run;
  });
  for (const auto& run : runs) {
    if (run.header.undoes.empty()) continue;
    for (auto& undone : runs)
      if (undone.header.run == run.header.undoes && undone.undoneBy.empty()) undone.undoneBy = run.header.run;
  }
  return runs;
}

std::optional<QLJournalRunContents> readJournalRun(const QLJournalPlace& place, std::string_view run,
                                                   std::string& why) {
  if (!isJournalRunId(run)) {
    why = "it is not a run id";
    return std::nullopt;
  }
  QLJournalRunContents contents;
  const bool read = readRun(
      place, run, contents.summary,
      [&](QLJournalRecord&& record) {
        if (contents.records.size() >= kMostRecords) {
          why = "it has more records than this tool reads";
          return false;
        }
        contents.records.push_back(std::move(record));
        return true;
      },
      why);
  if (!read) return std::nullopt;
  contents.summary.file = place.shownFolder + "/" + std::string(run) + std::string(kRunSuffix);
  return contents;
}

}  // namespace tarnix
