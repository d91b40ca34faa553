// Feeds arbitrary bytes to the journal's line reader, as a forged volume would. A line it
// accepts must come back the same when written again and read once more.
#include <cstddef>
#include <cstdint>
#include <string>

#include "journal/QLJournalRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnix;
  const QLJournalLine line = parseJournalLine(std::string_view(reinterpret_cast<const char*>(data), size));
  if (line.type != QLJournalLine::Type::record) return 0;
  const QLJournalHeader run{line.run, "2026-12-10T09:45:00.000000Z", "fuzz", "", "", 0, {}};
  std::string written;
  appendJournalRecord(run, line.record, written);
  written.pop_back();  // the line feed
  const QLJournalLine again = parseJournalLine(written);
  const auto& a = line.record.change;
  const auto& b = again.record.change;
  if (again.type != QLJournalLine::Type::record || a.kind != b.kind || a.path != b.path || a.before != b.before ||
      a.after != b.after || a.kept != b.kept || a.backup != b.backup || again.record.seq != line.record.seq)
    __builtin_trap();
  return 0;
}
