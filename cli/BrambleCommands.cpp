#include "cli/BrambleCommands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "cli/BrambleCommandSet.h"
#include "cli/Report.h"
#include "cli/SampleVolume.h"
#include "engine/RZBomParser.h"
#include "engine/RZBramble.h"
#include "model/QLCPU.h"
#include "model/QLOSVolume.h"
#include "model/QLOSVolumeManager.h"
#include "operations/QLHelperOperations.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Terminal.h"
#include "platform/VolumeTree.h"

#ifndef TARNIX_VERSION
#define TARNIX_VERSION "0.0.0"
#endif

namespace tarnix::cli {
namespace {

constexpr const char* kMainHelp =
    "Usage: bramble COMMAND [OPTIONS]\n"
    "\n"
    "Verifies and repairs the owner, group and permissions of a macOS system volume's files\n"
    "against the volume's own package receipts.\n"
    "\n"
    "Commands:\n"
    "  verify [VOLUME]              report every mismatch, change nothing\n"
    "  repair [VOLUME]              repair every mismatch and report what was done\n"
    "  kexts list VOLUME            the kexts of the volume, newest first\n"
    "  kexts install KEXT... --volume VOLUME\n"
    "                               install kexts, keeping the ones they replace\n"
    "  kexts backup KEXT... --volume VOLUME --folder FOLDER --to DIR\n"
    "                               copy installed kexts into a dated folder\n"
    "  kexts repair-folder FOLDER VOLUME\n"
    "                               owner root and mode 755 for a kext folder\n"
    "  caches rebuild VOLUME        rebuild the kext caches, or mark them stale\n"
    "  sip show|set, booter show|set\n"
    "                               the SIP and booter words in NVRAM or a bootloader file\n"
    "  journal VOLUME | --system    the recorded runs of changes\n"
    "  undo VOLUME [RUN] | --system [RUN]\n"
    "                               put back what a run changed\n"
    "  volumes                      list the mounted macOS volumes\n"
    "  list-bom FILE                list the records of a bill-of-materials file\n"
    "  make-sample-volume DIR       build a small macOS-shaped volume to try the tool on\n"
    "\n"
    "Options:\n"
    "  --internal-version           print the tool's version and exit\n"
    "  -h, --help                   show this help; 'bramble COMMAND --help' for a command\n"
    "\n"
    "Every change is written to a journal first (on the volume, in Library/Logs/Tarnix/Journal;\n"
    "for NVRAM and bootloader files in /var/lib/tarnix/journal), which 'bramble undo' reads.\n"
    "Changing a volume, NVRAM or a root's file needs root.\n"
    "\n"
    "Exit status: 0 nothing wrong (or everything done), 1 mismatches found, something failed\n"
    "or an undo was refused, 2 bad usage or not a valid volume.\n";

constexpr const char* kCheckHelp =
    "Usage: bramble %s [VOLUME] [--threads N] [--package ID] [--json]\n"
    "\n"
    "%s\n"
    "VOLUME is the mount point of a macOS system volume (a folder holding\n"
    "System/Library/CoreServices/SystemVersion.plist). Without it, the running system's\n"
    "volume is used when it is one.\n"
    "\n"
    "  --threads N     worker threads (1 to the number of processors; default: all)\n"
    "  --package ID    only the receipt with this package identifier\n"
    "  --json          one JSON object per result on standard output\n"
    "\n"
    "A progress bar is drawn on standard error when it is a terminal.\n";

constexpr const char* kVerifyText =
    "Compares every file named by the volume's repair receipts with the owner, group and\n"
    "permissions they prescribe. Nothing is changed. Exit status 1 when anything differs.\n";
constexpr const char* kRepairText =
    "Sets the owner, group and permissions of every differing file to what the receipts\n"
    "prescribe; set-user-id bits are kept as prescribed. Files are never created or deleted.\n"
    "Exit status 1 when some repair failed (a link's own mode cannot be set on Linux).\n";

constexpr const char* kListBomHelp =
    "Usage: bramble list-bom FILE\n"
    "\n"
    "Prints each record of the BOM file in record order: path, octal mode, uid/gid,\n"
    "separated by tabs. Exit status 2 when FILE is not a readable BOM store.\n";

constexpr const char* kSampleHelp =
    "Usage: bramble make-sample-volume DIR [--files N]\n"
    "\n"
    "Builds a macOS-shaped volume in DIR (new or empty): SystemVersion.plist, receipts in\n"
    "both repair groups with their BOMs, and files with wrong owners and modes, set-user-id\n"
    "files and links among them. As root the receipts prescribe root ownership as on macOS;\n"
    "as another user they prescribe that user, and only modes are made wrong.\n"
    "\n"
    "  --files N       regular files of the generated bulk (default 60); folders and links\n"
    "                  grow with it (N=89000 gives about 100,000 entries)\n";

constexpr const char* kVolumesHelp =
    "Usage: bramble volumes\n"
    "\n"
    "Lists the mounted file systems whose root holds a readable SystemVersion.plist:\n"
    "mount point, file system type, system version. HFS+ and APFS mounts come first.\n";

int runCheck(const std::vector<std::string>& arguments, QLRepairPermissionsJobType jobType) {
  const char* command = jobType == QLRepairPermissionsJobType::repairPermissions ? "repair" : "verify";
  if (wantsHelp(arguments)) {
    std::printf(kCheckHelp, command,
                jobType == QLRepairPermissionsJobType::repairPermissions ? kRepairText : kVerifyText);
    return kExitClean;
  }
  std::optional<std::string> volumePath;
  std::optional<std::string> package;
  std::optional<long> threads;
  bool json = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "--threads" || argument == "--package") {
      if (i + 1 >= arguments.size()) return usageError(argument + " needs a value", command);
      const std::string& value = arguments[++i];
      if (argument == "--package") {
        package = value;
      } else if (!(threads = positiveNumber(value))) {
        return usageError("--threads needs a positive whole number, not '" + value + "'", command);
      }
    } else if (!argument.empty() && argument[0] == '-') {
      return usageError("unknown option '" + argument + "'", command);
    } else if (volumePath) {
      return usageError("only one volume can be given", command);
    } else {
      volumePath = argument;
    }
  }

  std::optional<QLOSVolume> volume;
  std::optional<platform::VolumeHandle> handle;
  if (volumePath) {
    // Reports name items by absolute paths, whatever folder bramble ran in.
    auto opened = openVolumeArgument(*volumePath);
    if (!opened) return kExitUsage;
    volume = std::move(opened->described);
    handle = std::move(opened->handle);
  } else {
    volume = QLOSVolumeManager::shared().selected();
    auto opened = volume ? platform::openVolume(volume->mountPoint) : platform::VolumeOpening{};
    if (!volume || !opened.volume) {
      printError("no volume given, and / is not a macOS volume; give a mount point (see 'bramble volumes')");
      return kExitUsage;
    }
    handle = std::move(opened.volume);
  }
  const bool repairing = jobType == QLRepairPermissionsJobType::repairPermissions;

  const bool terminal = platform::isTerminal(2);
  ProgressBar bar(terminal ? stderr : nullptr, platform::terminalColumns(2));
  // Receipts are read by the volume's path; changes are made beneath the folder held open.
  const auto trees = platform::volumeTreesOf(*handle);
  RZBramble job(jobType, *volume, &bar, threads.value_or(QLCPU::shared().maxthread()), false, terminal ? 0.1 : 3600,
                *trees);
  job.packageManager().setPackageFilter(package);
  QLJournalRun journal({volumeJournal(*handle)}, journalHeader("repair-permissions", volume->mountPoint));
  QLHelperOperations::QLJournalChangeRecorder recorder(journal);
  if (repairing) job.setChangeObserver(&recorder);
  // The report is written while the run goes on; the bar steps aside when both share a terminal.
  ReportWriter report(stdout, json, terminal && platform::isTerminal(1) ? &bar : nullptr);
  job.run(report);
  report.finish();
  bar.finish();
  journal.finish();
  const auto files = journal.files();

  if (json) {
    if (!files.empty()) printJson({{"run", journal.id()}, {"journal", files.front()}});
  } else {
    if (report.attributes() > 0) std::fputs("\n", stdout);
    if (repairing)
      std::printf("Repaired %s: %zu items checked, %zu items with %zu attribute changes, %zu failed.\n",
                  volume->mountPoint.c_str(), static_cast<std::size_t>(job.total()), report.items(),
                  report.attributes(), report.failed());
    else
      std::printf("Verified %s: %zu items checked, %zu items with %zu mismatched attributes.\n",
                  volume->mountPoint.c_str(), static_cast<std::size_t>(job.total()), report.items(),
                  report.attributes());
    if (!files.empty())
      std::printf("Journal: run %s in %s ('bramble undo %s' puts it back).\n", journal.id().c_str(),
                  files.front().c_str(), volume->mountPoint.c_str());
  }
  if (repairing) return report.failed() == 0 ? kExitClean : kExitFindings;
  return report.attributes() == 0 ? kExitClean : kExitFindings;
}

int runListBom(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kListBomHelp, stdout);
    return kExitClean;
  }
  if (arguments.size() != 2) return usageError("list-bom takes one FILE", "list-bom");
  RZBomParserWrapper bom(arguments[1]);
  if (!bom.parse()) {
    printError(arguments[1] + " is not a readable BOM store");
    return kExitUsage;
  }
  std::string out;
  char line[64];
  for (std::uint32_t i = 0; i < bom.count(); ++i) {
    const auto& record = bom.results()[i];
    std::snprintf(line, sizeof line, "\t%o\t%u/%u\n", record.mode, record.uid, record.gid);
    bom.records()->appendPath(i, out);
    out.append(line);
    if (out.size() >= (1u << 20)) {
      writeOut(out);
      out.clear();
    }
  }
  writeOut(out);
  return kExitClean;
}

int runMakeSample(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kSampleHelp, stdout);
    return kExitClean;
  }
  SampleVolumeOptions options;
  bool haveDirectory = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--files") {
      if (i + 1 >= arguments.size()) return usageError("--files needs a value", "make-sample-volume");
      const auto files = positiveNumber(arguments[++i]);
      if (!files || *files > 10'000'000)
        return usageError("--files needs a whole number from 1 to 10000000", "make-sample-volume");
      options.files = static_cast<std::size_t>(*files);
    } else if (!arguments[i].empty() && arguments[i][0] == '-') {
      return usageError("unknown option '" + arguments[i] + "'", "make-sample-volume");
    } else if (haveDirectory) {
      return usageError("only one DIR can be given", "make-sample-volume");
    } else {
      options.directory = arguments[i];
      haveDirectory = true;
    }
  }
  if (!haveDirectory) return usageError("make-sample-volume needs a DIR", "make-sample-volume");
  SampleVolumeSummary summary;
  std::string error;
  if (!makeSampleVolume(options, summary, error)) {
    printError(error);
    return kExitUsage;
  }
  std::printf("Made a sample macOS volume in %s: %zu items, %zu of them wrong, %zu receipts.\n",
              options.directory.c_str(), summary.entries, summary.wrongItems, summary.receipts);
  if (!summary.prescribesRoot)
    std::printf("Not made as root: the receipts prescribe your own user, and only modes are wrong.\n");
  std::printf("Try: bramble verify %s\n", options.directory.c_str());
  return kExitClean;
}

int runVolumes(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kVolumesHelp, stdout);
    return kExitClean;
  }
  if (arguments.size() != 1) return usageError("volumes takes no arguments", "volumes");
  const auto volumes = QLOSVolumeManager::mountedVolumes();
  for (const auto& entry : volumes)
    std::printf("%s\t%s\t%s%s\n", entry.volume.mountPoint.c_str(), entry.fileSystemType.c_str(),
                entry.volume.osVersion.getOSVersionString().c_str(), entry.readOnly ? "\t(read-only)" : "");
  const std::size_t found = volumes.size();
  if (found == 0) std::fprintf(stderr, "No mounted macOS volume found.\n");
  return kExitClean;
}

}  // namespace

int runBramble(const std::vector<std::string>& arguments) {
  // Diagnostics must not mix with the report or the JSON on standard output.
  platform::setLogSink(platform::LogSink::standardError);
  if (arguments.empty()) {
    std::fputs(kMainHelp, stderr);
    return kExitUsage;
  }
  const std::string& command = arguments[0];
  if (command == "--internal-version") {
    std::printf("%s\n", TARNIX_VERSION);
    return kExitClean;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kMainHelp, stdout);
    return kExitClean;
  }
  if (command == "verify") return runCheck(arguments, QLRepairPermissionsJobType::verifyPermissions);
  if (command == "repair") return runCheck(arguments, QLRepairPermissionsJobType::repairPermissions);
  if (command == "list-bom") return runListBom(arguments);
  if (command == "make-sample-volume") return runMakeSample(arguments);
  if (command == "volumes") return runVolumes(arguments);
  if (command == "kexts") return runKexts(arguments);
  if (command == "caches") return runCaches(arguments);
  if (command == "sip" || command == "booter") return runBootWord(arguments);
  if (command == "journal") return runJournal(arguments);
  if (command == "undo") return runUndo(arguments);
  return usageError("unknown command '" + command + "'", "");
}

}  // namespace tarnix::cli
