#pragma once
// The lines of a journal, one JSON object each: a run's header, one line per changed attribute
// or file, and the run's end. Users and scripts read them (the user guide documents them), so
// the names and shapes here do not change. Lines read back from a volume may be forged: each
// is parsed within fixed bounds and checked field by field before anything acts on it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tarnix {

// What a change record is about.
enum class QLJournalKind {
  owner,   // an item's owner id (numbers)
  group,   // an item's group id (numbers)
  mode,    // an item's permission bits (octal digits as text, "4755")
  kext,    // a kext bundle put in place (fingerprints of the bundle before and after)
  file,    // a file of the running system rewritten (digests of its contents)
  nvram,   // a firmware variable ("GUID:name"; its bytes as hexadecimal)
  backup,  // a copy made for the user; nothing on the volume changed
};
std::string_view journalKindName(QLJournalKind kind);
std::optional<QLJournalKind> journalKindNamed(std::string_view name);

// A value before or after a change: absent (no such item or variable), a number, or a text.
using QLJournalValue = std::variant<std::monostate, std::int64_t, std::string>;

struct QLJournalChange {
  QLJournalKind kind = QLJournalKind::owner;
  // On a volume's journal: the item's path from the volume's root ("/usr/bin/sudo"). On the
  // system journal: a file's absolute path, or "GUID:name" of a variable.
  std::string path;
  QLJournalValue before;
  QLJournalValue after;
  // Where the bytes the change replaced are kept: a name in the run's own store (volume), the
  // dated copy of a file (system). Empty: nothing was replaced, or nothing needs keeping.
  std::string kept;
  // A copy the user asked for (kext backups), for the record only.
  std::string backup;
};

struct QLJournalHeader {
  std::string run;        // the run's id, also its file name
  std::string time;       // when it started, "2026-12-10T09:45:00.123456Z"
  std::string operation;  // "repair-permissions", "install-kexts", ... , "undo"
  std::string target;     // the volume or file as the user named it
  std::string tool;       // "bramble 1.0.0", "helper 1.0.0", "tarnix 1.0.0"
  std::int64_t uid = -1;  // on whose behalf
  std::string undoes;     // for an undo: the run it undoes
};

struct QLJournalRecord {
  std::uint64_t seq = 0;  // from 1, in the order written
  std::string time;
  QLJournalChange change;
};

struct QLJournalEnd {
  std::string time;
  std::uint64_t changes = 0;
  std::uint64_t failed = 0;
};

// A journal line is at most this long; a longer one is not a journal line.
inline constexpr std::size_t kQLJournalMaxLine = 64 * 1024;

// Each appends one line ending in "\n".
void appendJournalHeader(const QLJournalHeader& header, std::string& out);
void appendJournalRecord(const QLJournalHeader& run, const QLJournalRecord& record, std::string& out);
void appendJournalEnd(const QLJournalHeader& run, const QLJournalEnd& end, std::string& out);

// One line read back (without its line feed).
struct QLJournalLine {
  enum class Type { header, record, end, invalid } type = Type::invalid;
  QLJournalHeader header;
  QLJournalRecord record;
  QLJournalEnd end;
  std::string run;    // the run a record or end line belongs to
  std::string error;  // for an invalid line: why
};
QLJournalLine parseJournalLine(std::string_view line);

// "20261210T094500Z-3f9a1c": when a run started (UTC) and six random hex digits.
bool isJournalRunId(std::string_view id);
// An absolute path without "." or ".." components, NUL bytes, or more than 4096 bytes.
bool isPlainAbsolutePath(std::string_view path);

// The current time as journals write it, "2026-12-10T09:45:00.123456Z".
std::string journalTimeNow();
// A digest of bytes (BLAKE2b, 128 bits) as 32 hexadecimal digits: a file's contents, a tree's
// description; it tells whether something changed since.
std::string journalDigest(std::string_view bytes);

}  // namespace tarnix
