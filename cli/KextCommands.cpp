// bramble kexts ... and bramble caches rebuild: the kext operations of the helper, done here.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/BrambleCommandSet.h"
#include "cli/CommandLine.h"
#include "operations/QLHelperArguments.h"
#include "operations/QLHelperOperations.h"
#include "platform/Files.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Process.h"
#include "platform/PropertyList.h"
#include "platform/TreeOperations.h"

namespace tarnix::cli {
namespace {

constexpr const char* kKextsHelp =
    "Usage: bramble kexts list VOLUME [--json]\n"
    "       bramble kexts install KEXT... --volume VOLUME [--folder FOLDER] [--no-backup]\n"
    "                             [--backup-to DIR] [--json]\n"
    "       bramble kexts backup KEXT... --volume VOLUME --folder FOLDER --to DIR [--json]\n"
    "       bramble kexts repair-folder FOLDER VOLUME [--json]\n"
    "\n"
    "list           the kexts of the three kext folders with bundle identifier, version and\n"
    "               modification time, newest first: what was installed last comes first.\n"
    "install        copies each KEXT bundle into FOLDER (default /Library/Extensions/) with\n"
    "               owner root and mode 755, replacing the one of the same name in one step:\n"
    "               a failure leaves the one that was there. The replaced kext is kept in the\n"
    "               volume's journal ('bramble undo VOLUME' puts it back); unless --no-backup,\n"
    "               it is also copied into a dated folder of DIR (--backup-to; default\n"
    "               ~/.local/share/Tarnix/Kexts/, as the application's).\n"
    "backup         copies the installed kexts of those names in FOLDER into a dated folder of DIR.\n"
    "repair-folder  owner root (0:0) and mode 755 for FOLDER and everything in it, without\n"
    "               following links or leaving the volume.\n"
    "\n"
    "FOLDER is one of /System/Library/Extensions/, /Library/Extensions/, /Extra/Extensions/.\n"
    "Installing, repairing and backing up need root. Every change is journaled on the volume.\n"
    "  --json          one JSON object per kext (or folder) on standard output\n";

constexpr const char* kCachesHelp =
    "Usage: bramble caches rebuild VOLUME [--json]\n"
    "\n"
    "Runs kextcache -i VOLUME where this system has kextcache; otherwise marks the volume's kext\n"
    "caches stale (touches its extension folders), so that macOS rebuilds them at its next start.\n";

constexpr const char* kExtensionFolders[] = {"/System/Library/Extensions/", "/Library/Extensions/",
                                             "/Extra/Extensions/"};

// "/Library/Extensions/", "/Library/Extensions" and "Library/Extensions" name one folder.
std::optional<std::string> kextFolderArgument(std::string text) {
  if (text.empty()) return std::nullopt;
  if (text.front() != '/') text.insert(0, "/");
  if (text.back() != '/') text.push_back('/');
  return arguments::kextFolder(text);
}

std::string localTime(std::int64_t seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[32] = "?";
  if (localtime_r(&when, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void printJournal(const QLJournalRun& journal, const std::string& volume, bool json) {
  const auto files = journal.files();
  if (files.empty() || json) return;
  std::printf("Journal: run %s in %s ('bramble undo %s' puts it back).\n", journal.id().c_str(), files.front().c_str(),
              volume.c_str());
}

nlohmann::json runOf(const QLJournalRun& journal) {
  return journal.files().empty() ? nlohmann::json(nullptr) : nlohmann::json(journal.id());
}

int listKexts(const ParsedArguments& parsed) {
  if (parsed.positional.size() != 3) return usageError("kexts list takes one VOLUME", "kexts");
  const auto volume = openVolumeArgument(parsed.positional[2]);
  if (!volume) return kExitUsage;
  struct Entry {
    std::string folder, name, identifier, version;
    std::int64_t modified = 0;
  };
  std::vector<Entry> entries;
  const std::string root = volume->handle.path();
  for (const char* folder : kExtensionFolders) {
    const auto names = platform::listFolderBeneath(volume->handle, folder);
    if (!names) continue;
    for (const auto& name : *names) {
      if (!arguments::isKextName(name) || name.front() == '.') continue;
      Entry entry{folder, name, {}, {}, platform::modificationTimeBeneath(volume->handle, folder + name).value_or(0)};
      // Read beneath the volume: a link in a forged bundle cannot show a file of this system.
      const auto read = [&](const char* list) {
        const auto bytes = platform::readFileBeneath(root, folder + name + list, 1u << 20);
        return bytes ? platform::parseDictionary(*bytes) : platform::Plist();
      };
      const auto info = read(QLKernelExtension::infoPlistPath);
      const auto versionList = read(QLKernelExtension::versionPlistPath);
      entry.identifier = info ? platform::dictString(info.get(), "CFBundleIdentifier").value_or("") : "";
      entry.version = QLKernelExtension::versionFrom(info.get(), versionList.get()).value_or("");
      entries.push_back(std::move(entry));
    }
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.modified > b.modified; });
  const bool json = parsed.has("--json");
  for (const auto& entry : entries) {
    if (json) {
      printJson({{"folder", entry.folder},
                 {"name", entry.name},
                 {"identifier", entry.identifier.empty() ? nlohmann::json(nullptr) : nlohmann::json(entry.identifier)},
                 {"version", entry.version.empty() ? nlohmann::json(nullptr) : nlohmann::json(entry.version)},
                 {"modified", entry.modified}});
    } else {
      std::printf("%s  %s%s  %s  %s\n", localTime(entry.modified).c_str(), entry.folder.c_str(), entry.name.c_str(),
                  entry.identifier.empty() ? "-" : entry.identifier.c_str(),
                  entry.version.empty() ? "N/A" : entry.version.c_str());
    }
  }
  if (entries.empty() && !json)
    std::fprintf(stderr, "No kexts in the kext folders of %s.\n", volume->described.mountPoint.c_str());
  return kExitClean;
}

int installKexts(const ParsedArguments& parsed) {
  const auto volumePath = parsed.value("--volume");
  if (!volumePath) return usageError("kexts install needs --volume VOLUME", "kexts");
  if (parsed.positional.size() < 3) return usageError("kexts install needs at least one KEXT", "kexts");
  if (parsed.has("--no-backup") && parsed.value("--backup-to"))
    return usageError("--no-backup and --backup-to do not go together", "kexts");
  const auto folder = kextFolderArgument(parsed.value("--folder").value_or("/Library/Extensions/"));
  if (!folder)
    return usageError("FOLDER must be /System/Library/Extensions/, /Library/Extensions/ or /Extra/Extensions/",
                      "kexts");
  std::vector<QLKernelExtension> kexts;
  for (std::size_t i = 2; i < parsed.positional.size(); ++i) {
    auto path = platform::absolutePath(parsed.positional[i]);
    if (path)
      while (path->size() > 1 && path->back() == '/') path->pop_back();
    const auto kext = path ? QLKernelExtension::fromPath(*path) : QLKernelExtension::fromPath("");
    if (!path || !platform::isDirectory(*path) || !arguments::isInstallableKext(kext)) {
      printError(parsed.positional[i] + " is not a kext bundle (a folder whose name ends in .kext)");
      return kExitUsage;
    }
    kexts.push_back(kext);
  }
  const auto volume = openVolumeArgument(*volumePath);
  if (!volume) return kExitUsage;
  const bool json = parsed.has("--json");
  const std::string& mountPoint = volume->described.mountPoint;
  QLJournalRun journal({volumeJournal(volume->handle)}, journalHeader("install-kexts", mountPoint));

  // The kexts about to be replaced are copied first, as the application does.
  std::string backupFolder;
  if (!parsed.has("--no-backup")) {
    std::string destination = parsed.value("--backup-to").value_or("");
    if (destination.empty()) {
      const auto data = platform::userDataFolder();
      if (!data) {
        printError("no home folder to back up into: give --backup-to DIR or --no-backup");
        return kExitUsage;
      }
      destination = *data + "/Tarnix/Kexts";
    }
    const auto absolute = platform::absolutePath(destination);
    if (!absolute) return usageError("cannot tell where " + destination + " is", "kexts");
    std::vector<QLKernelExtension> replacing;
    for (const auto& kext : kexts)
      if (platform::attributesBeneath(volume->handle, *folder + kext.name())) replacing.push_back(kext);
    for (const auto& failed : QLHelperOperations::backupKexts(volume->handle, *folder, replacing, *absolute + "/",
                                                              nullptr, journal, &backupFolder))
      printError("could not back up the installed " + failed.name() + " into " + backupFolder +
                 "; the journal keeps it all the same");
    if (replacing.empty()) backupFolder.clear();
  }

  const auto outcomes =
      QLHelperOperations::installKexts(volume->handle, *folder, kexts, nullptr, journal, backupFolder);
  journal.finish();
  std::size_t failed = 0;
  for (const auto& outcome : outcomes) {
    if (!outcome.installed) ++failed;
    const std::string backup =
        outcome.replaced && !backupFolder.empty() ? backupFolder + "/" + outcome.kext.name() : "";
    if (json) {
      printJson({{"kext", outcome.kext.path()},
                 {"name", outcome.kext.name()},
                 {"folder", *folder},
                 {"installed", outcome.installed},
                 {"replaced", outcome.replaced},
                 {"kept", outcome.kept.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.kept)},
                 {"backup", backup.empty() ? nlohmann::json(nullptr) : nlohmann::json(backup)},
                 {"message", outcome.message.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.message)},
                 {"run", runOf(journal)}});
    } else if (outcome.installed) {
      std::printf("Installed %s into %s%s.\n", outcome.kext.name().c_str(), folder->c_str(),
                  outcome.replaced ? (", replacing the one there (kept in " + outcome.kept +
                                      (backup.empty() ? "" : ", backed up to " + backup) + ")")
                                         .c_str()
                                   : "");
    } else {
      std::printf("Failed: %s: %s.\n", outcome.kext.name().c_str(), outcome.message.c_str());
    }
  }
  if (!json && failed < outcomes.size())
    std::printf("Rebuild the kext caches before you start macOS: bramble caches rebuild %s\n", mountPoint.c_str());
  printJournal(journal, mountPoint, json);
  return failed == 0 ? kExitClean : kExitFindings;
}

int backupKexts(const ParsedArguments& parsed) {
  const auto volumePath = parsed.value("--volume");
  const auto to = parsed.value("--to");
  const auto folderText = parsed.value("--folder");
  if (!volumePath || !to || !folderText)
    return usageError("kexts backup needs --volume VOLUME, --folder FOLDER and --to DIR", "kexts");
  if (parsed.positional.size() < 3) return usageError("kexts backup needs at least one KEXT", "kexts");
  const auto folder = kextFolderArgument(*folderText);
  if (!folder)
    return usageError("FOLDER must be /System/Library/Extensions/, /Library/Extensions/ or /Extra/Extensions/",
                      "kexts");
  const auto destination = platform::absolutePath(*to);
  if (!destination) return usageError("cannot tell where " + *to + " is", "kexts");
  std::vector<QLKernelExtension> kexts;
  for (std::size_t i = 2; i < parsed.positional.size(); ++i) {
    // A name, or the path of a bundle whose name is meant.
    auto name = parsed.positional[i];
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
    if (!arguments::isKextName(name)) return usageError(parsed.positional[i] + " is not a kext name", "kexts");
    kexts.push_back(QLKernelExtension::fromPath(*folder + name));
  }
  const auto volume = openVolumeArgument(*volumePath);
  if (!volume) return kExitUsage;
  const bool json = parsed.has("--json");
  QLJournalRun journal({volumeJournal(volume->handle)}, journalHeader("backup-kexts", volume->described.mountPoint));
  std::string made;
  const auto failed =
      QLHelperOperations::backupKexts(volume->handle, *folder, kexts, *destination + "/", nullptr, journal, &made);
  journal.finish();
  for (const auto& kext : kexts) {
    const bool ok = std::find(failed.begin(), failed.end(), kext) == failed.end();
    if (json)
      printJson({{"name", kext.name()},
                 {"folder", *folder},
                 {"backedUp", ok},
                 {"backup", ok ? nlohmann::json(made + "/" + kext.name()) : nlohmann::json(nullptr)},
                 {"run", runOf(journal)}});
    else if (ok)
      std::printf("Backed up %s%s to %s/%s.\n", folder->c_str(), kext.name().c_str(), made.c_str(),
                  kext.name().c_str());
    else
      std::printf("Failed: %s: not installed in %s, or %s cannot be written.\n", kext.name().c_str(), folder->c_str(),
                  made.c_str());
  }
  return failed.empty() ? kExitClean : kExitFindings;
}

int repairFolder(const ParsedArguments& parsed) {
  if (parsed.positional.size() != 4) return usageError("kexts repair-folder takes FOLDER and VOLUME", "kexts");
  const auto folder = kextFolderArgument(parsed.positional[2]);
  if (!folder)
    return usageError("FOLDER must be /System/Library/Extensions/, /Library/Extensions/ or /Extra/Extensions/",
                      "kexts");
  const auto volume = openVolumeArgument(parsed.positional[3]);
  if (!volume) return kExitUsage;
  const std::string& mountPoint = volume->described.mountPoint;
  QLJournalRun journal({volumeJournal(volume->handle)}, journalHeader("repair-kext-folder", mountPoint + *folder));
  const bool repaired = QLHelperOperations::repairKextFolder(volume->handle, *folder, journal);
  journal.finish();
  const bool json = parsed.has("--json");
  if (json)
    printJson({{"folder", *folder},
               {"volume", mountPoint},
               {"repaired", repaired},
               {"changes", journal.changes()},
               {"run", runOf(journal)}});
  else if (repaired)
    std::printf("Repaired %s%s: owner 0:0 and mode 755 everywhere (%llu attribute changes).\n", mountPoint.c_str(),
                folder->c_str(), static_cast<unsigned long long>(journal.changes()));
  else
    std::printf(
        "Failed: %s%s: some owners or modes could not be set (a link's own mode cannot be, a missing "
        "folder has none).\n",
        mountPoint.c_str(), folder->c_str());
  printJournal(journal, mountPoint, json);
  return repaired ? kExitClean : kExitFindings;
}

}  // namespace

int runKexts(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments) || arguments.size() < 2) {
    std::fputs(kKextsHelp, arguments.size() < 2 && !wantsHelp(arguments) ? stderr : stdout);
    return wantsHelp(arguments) ? kExitClean : kExitUsage;
  }
  std::string error;
  const auto parsed =
      parseArguments(arguments, 0, {"--volume", "--folder", "--backup-to", "--to"}, {"--no-backup", "--json"}, error);
  if (!parsed) return usageError(error, "kexts");
  const std::string& action = arguments[1];
  if (action == "list") return listKexts(*parsed);
  if (action == "install") return installKexts(*parsed);
  if (action == "backup") return backupKexts(*parsed);
  if (action == "repair-folder") return repairFolder(*parsed);
  return usageError("unknown kexts command '" + action + "'", "kexts");
}

int runCaches(const std::vector<std::string>& arguments) {
  if (wantsHelp(arguments)) {
    std::fputs(kCachesHelp, stdout);
    return kExitClean;
  }
  std::string error;
  const auto parsed = parseArguments(arguments, 0, {}, {"--json"}, error);
  if (!parsed) return usageError(error, "caches");
  if (parsed->positional.size() != 3 || parsed->positional[1] != "rebuild")
    return usageError("the command is 'caches rebuild VOLUME'", "caches");
  const auto volume = openVolumeArgument(parsed->positional[2]);
  if (!volume) return kExitUsage;
  const auto& table = platform::HelperPlatformTable::current();
  const bool withKextcache = platform::pathExists(table.kextcache);
  const bool done = QLHelperOperations::rebuildCaches(volume->handle, table, platform::linuxProcessRunner());
  const std::string& mountPoint = volume->described.mountPoint;
  if (parsed->has("--json"))
    printJson({{"volume", mountPoint}, {"rebuilt", done}, {"how", withKextcache ? "kextcache" : "marked-stale"}});
  else if (!done)
    std::printf("Failed: the kext caches of %s could not be %s.\n", mountPoint.c_str(),
                withKextcache ? "rebuilt (kextcache failed)" : "marked stale (no extension folder could be touched)");
  else if (withKextcache)
    std::printf("Rebuilt the kext caches of %s with %s.\n", mountPoint.c_str(), table.kextcache.c_str());
  else
    std::printf("Marked the kext caches of %s stale: macOS rebuilds them at its next start.\n", mountPoint.c_str());
  return done ? kExitClean : kExitFindings;
}

}  // namespace tarnix::cli
