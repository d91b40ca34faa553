// Writes one seed per kind of journal line into the folder named by the first argument.
#include <cstdint>
#include <fstream>
#include <string>

#include "journal/QLJournalRecord.h"

int main(int argc, char** argv) {
  using namespace tarnix;
  if (argc < 2) return 2;
  const QLJournalHeader run{
      "20261210T094500Z-3f9a1c", "2026-12-10T09:45:00.000000Z", "install-kexts", "/mnt/mac", "seeds", 0, {}};
  const std::string digest(32, 'a');
  const QLJournalChange changes[] = {
      {QLJournalKind::owner, "/usr/bin/sudo", std::int64_t{501}, std::int64_t{0}, {}, {}},
      {QLJournalKind::mode, std::string("/odd\xff\nname"), std::string("511"), std::string("4511"), {}, {}},
      {QLJournalKind::kext, "/Library/Extensions/A.kext", digest, digest, "1-A.kext", "/root/b/A.kext"},
      {QLJournalKind::file, "/boot/efi/EFI/OC/config.plist", digest, digest, "/boot/efi/EFI/OC/config-x.plist", {}},
      {QLJournalKind::nvram, "7c436110-ab2a-4bbb-a880-fe41995c9f82:bootercfg", {}, std::string("2800"), {}, {}},
  };
  int n = 0;
  std::string header;
  appendJournalHeader(run, header);
  std::ofstream(std::string(argv[1]) + "/header") << header;
  for (const auto& change : changes) {
    std::string line;
    appendJournalRecord(run, {static_cast<std::uint64_t>(++n), run.time, change}, line);
    line.pop_back();
    std::ofstream(std::string(argv[1]) + "/record" + std::to_string(n)) << line;
  }
  return 0;
}
