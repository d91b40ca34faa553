// What the journal costs a repair: a sample volume with every entry wrong (as bench/run makes
// it) repaired without a journal and with one, best of a few runs each, warm cache.
//   tarnix_bench_journal [FILES [RUNS]]     (root: the entries are made wrong with chown -R)
// The last line: entries=N changes=C without_s=A with_s=B with/without=R journal_mib=M
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/SampleVolume.h"
#include "engine/RZBramble.h"
#include "operations/QLHelperOperations.h"
#include "platform/VolumeHandle.h"
#include "platform/VolumeTree.h"

namespace {

using namespace tarnix;

class Counter final : public RZResultSink {
 public:
  void didProduceResults(std::span<QLRepairPermissionsResult> results) override { count += results.size(); }
  std::size_t count = 0;
};

double repair(const QLOSVolume& volume, const platform::VolumeHandle& handle, bool journaled, std::size_t& changes) {
  const auto trees = platform::volumeTreesOf(handle);
  const auto start = std::chrono::steady_clock::now();
  RZBramble job(QLRepairPermissionsJobType::repairPermissions, volume, nullptr, 0, true, 3600, *trees);
  QLJournalRun journal({volumeJournal(handle)}, {{}, {}, "repair-permissions", volume.mountPoint, "bench", 0, {}});
  QLHelperOperations::QLJournalChangeRecorder recorder(journal);
  if (journaled) job.setChangeObserver(&recorder);
  Counter counter;
  job.run(counter);
  journal.finish();
  changes = counter.count;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (::geteuid() != 0) {
    std::fprintf(stderr, "tarnix_bench_journal: run as root: the entries are made wrong with chown -R\n");
    return 2;
  }
  const std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 890000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  char pattern[] = "/var/tmp/tarnix-journal-bench.XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string work = pattern;
  const std::string path = work + "/volume";
  cli::SampleVolumeSummary summary;
  std::string error;
  if (!cli::makeSampleVolume({path, files}, summary, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const auto volume = QLOSVolume::initWithMountPoint(path);
  auto opened = platform::openVolume(path);
  if (!volume || !opened.volume) return 1;
  const std::string journalFolder = path + std::string(kQLVolumeJournalFolder);
  const std::string wrong = "chown -R 501:20 '" + path + "' && chmod -R 700 '" + path + "'";

  double best[2] = {1e9, 1e9};
  std::size_t changes = 0;
  std::uintmax_t journalBytes = 0;
  for (int run = 0; run < runs; ++run) {
    for (const bool journaled : {false, true}) {
      std::filesystem::remove_all(path + "/Library/Logs");
      if (std::system(wrong.c_str()) != 0) return 1;
      const double seconds = repair(*volume, *opened.volume, journaled, changes);
      best[journaled] = std::min(best[journaled], seconds);
      if (journaled)
        for (const auto& entry : std::filesystem::directory_iterator(journalFolder))
          if (entry.is_regular_file()) journalBytes = entry.file_size();
      std::printf("run %d %s journal: %.3f s, %zu changes\n", run + 1, journaled ? "with" : "without", seconds,
                  changes);
    }
  }
  std::filesystem::remove_all(work);
  std::printf("entries=%zu changes=%zu without_s=%.3f with_s=%.3f with/without=%.2f journal_mib=%.1f\n",
              summary.entries, changes, best[0], best[1], best[1] / best[0],
              static_cast<double>(journalBytes) / (1024.0 * 1024.0));
  return 0;
}
