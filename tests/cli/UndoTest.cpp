// Every change bramble makes, undone through the built bramble: the volume, the bootloader
// file and the firmware variables end exactly as they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "BrambleRunner.h"
#include "TestSupport.h"
#include "platform/Files.h"

extern char** environ;

namespace tarnix {
namespace {

using test::bramble;
using test::Outcome;
using test::TempDir;
using Json = nlohmann::json;

bool isRoot() { return ::geteuid() == 0; }

// Every item's path, type, owner, group, mode and (for files) contents, except the folder the
// journal made (the sample volume has no Library/Logs): what an undo must give back exactly.
std::string listing(const std::string& root) {
  std::map<std::string, std::string> items;
  for (auto it = std::filesystem::recursive_directory_iterator(root);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    const std::string path = it->path().string();
    if (path == root + "/Library/Logs") {
      it.disable_recursion_pending();
      continue;
    }
    struct stat info {};
    ::lstat(path.c_str(), &info);
    std::ostringstream line;
    line << std::oct << (info.st_mode & 0177777) << std::dec << " " << info.st_uid << ":" << info.st_gid;
    if (S_ISREG(info.st_mode)) line << " " << std::hash<std::string>{}(test::slurp(path));
    if (S_ISLNK(info.st_mode)) line << " -> " << std::filesystem::read_symlink(path).string();
    items[path.substr(root.size())] = line.str();
  }
  std::string text;
  for (const auto& [path, line] : items) text += path + " " + line + "\n";
  return text;
}

// The first line where two listings differ, for a readable failure.
std::string difference(const std::string& a, const std::string& b) {
  std::istringstream left(a), right(b);
  for (std::string l, r;;) {
    const bool moreLeft = static_cast<bool>(std::getline(left, l));
    const bool moreRight = static_cast<bool>(std::getline(right, r));
    if (!moreLeft && !moreRight) return "no difference";
    if (l != r || moreLeft != moreRight) return "\n  " + (moreLeft ? l : "(end)") + "\n  " + (moreRight ? r : "(end)");
  }
}
#define EXPECT_SAME_LISTING(actual, expected) EXPECT_TRUE((actual) == (expected)) << difference(actual, expected)

std::vector<Json> jsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

class Undo : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_ = dir_ / "Macintosh HD";
    platform::makeDirectories(dir_ / "efivars");
    // The system's journal, NVRAM and the home folder of this test, never the machine's.
    environment_ = "TARNIX_SYSTEM_JOURNAL='" + dir_ / "journal" + "' EFIVARFS_PATH='" + dir_ / "efivars/" + "' HOME='" +
                   dir_ / "home" + "' XDG_DATA_HOME='" + dir_ / "home/data" + "'";
  }
  Outcome run(const std::string& arguments) { return bramble(arguments, dir_.path(), environment_); }
  void makeVolume(std::size_t files = 60) {
    ASSERT_EQ(run("make-sample-volume '" + volume_ + "' --files " + std::to_string(files)).status, 0);
  }
  std::string quoted() const { return "'" + volume_ + "'"; }
  // A kext bundle of `name` whose binary holds `code`.
  std::string makeKext(const std::string& name, const std::string& code) {
    const std::string bundle = dir_ / ("src/" + code + "/" + name);
    platform::makeDirectories(bundle + "/Contents/MacOS");
    platform::writeFile(bundle + "/Contents/Info.plist",
                        "<plist><dict><key>CFBundleIdentifier</key><string>org.test." + code +
                            "</string><key>CFBundleShortVersionString</key><string>" + code +
                            "</string></dict></plist>",
                        0644);
    platform::writeFile(bundle + "/Contents/MacOS/binary", code, 0700);
    return bundle;
  }

  TempDir dir_;
  std::string volume_;
  std::string environment_;
};

TEST_F(Undo, ARepairUndoneGivesBackEveryOwnerGroupAndMode) {
  makeVolume();
  const std::string before = listing(volume_);
  const Outcome repaired = run("repair " + quoted());
  ASSERT_EQ(repaired.status, 0) << repaired.err;
  EXPECT_NE(repaired.out.find("Journal: run "), std::string::npos);
  const std::string afterRepair = listing(volume_);
  ASSERT_NE(afterRepair, before);

  const Outcome journal = run("journal --json " + quoted());
  ASSERT_EQ(journal.status, 0);
  const auto runs = jsonLines(journal.out);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["operation"], "repair-permissions");
  EXPECT_EQ(runs[0]["complete"], true);
  EXPECT_GT(runs[0]["changes"].get<int>(), 0);
  for (const char* key : {"run", "time", "target", "tool", "uid", "failed", "undoes", "undoneBy", "file", "damage"})
    EXPECT_TRUE(runs[0].contains(key)) << key;

  const Outcome dryRun = run("undo --dry-run " + quoted());
  EXPECT_EQ(dryRun.status, 0) << dryRun.err;
  EXPECT_NE(dryRun.out.find("Would undo run " + runs[0]["run"].get<std::string>()), std::string::npos) << dryRun.out;
  EXPECT_SAME_LISTING(listing(volume_), afterRepair) << "a dry run changes nothing";

  const Outcome undone = run("undo --json " + quoted());
  ASSERT_EQ(undone.status, 0) << undone.out << undone.err;
  const auto steps = jsonLines(undone.out);
  ASSERT_GE(steps.size(), 2u);
  for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
    EXPECT_EQ(steps[i]["kind"], "item");
    EXPECT_EQ(steps[i]["status"], "undone");
    for (const char* key : {"path", "now", "putBack", "message"}) EXPECT_TRUE(steps[i].contains(key)) << key;
  }
  EXPECT_EQ(steps.back()["run"], runs[0]["run"]);
  EXPECT_EQ(steps.back()["refused"], false);
  EXPECT_SAME_LISTING(listing(volume_), before);

  EXPECT_EQ(run("undo " + quoted()).status, 1) << "nothing left to undo";
  // The undo is a run of its own: undoing it repairs again.
  const std::string undoRun = steps.back()["undoRun"];
  ASSERT_EQ(run("undo " + quoted() + " " + undoRun).status, 0);
  EXPECT_SAME_LISTING(listing(volume_), afterRepair);
}

TEST_F(Undo, AnItemChangedSinceTheRunIsRefusedUnlessForced) {
  makeVolume();
  const std::string before = listing(volume_);
  ASSERT_EQ(run("repair " + quoted()).status, 0);
  // The repair gives /bin/ps its setuid bit; the user changes it again afterwards.
  ASSERT_EQ(::chmod((volume_ + "/bin/ps").c_str(), 0700), 0);
  const std::string changed = listing(volume_);

  const Outcome refused = run("undo " + quoted());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("conflict: item /bin/ps"), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("Refused: 1 of the changes"), std::string::npos) << refused.out;
  EXPECT_SAME_LISTING(listing(volume_), changed) << "nothing changed";

  ASSERT_EQ(run("undo --force " + quoted()).status, 0);
  EXPECT_SAME_LISTING(listing(volume_), before);
}

// A run killed at any moment leaves a journal that covers everything it changed.
TEST_F(Undo, ARepairKilledMidRunIsUndoneAsFarAsItWent) {
  makeVolume(20000);
  const std::string before = listing(volume_);
  const std::string journalFolder = volume_ + "/Library/Logs/Tarnix/Journal";
  for (const std::size_t lines : {2u, 500u, 2500u}) {
    std::set<std::string> earlier;  // runs of the rounds before, and their undos
    if (std::filesystem::exists(journalFolder))
      for (const auto& entry : std::filesystem::directory_iterator(journalFolder))
        earlier.insert(entry.path().string());
    std::vector<std::string> words = {test::brambleBinary(), "repair", "--threads", "1", volume_};
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Killed once its journal holds that many lines (or when it ended first).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      std::size_t written = 0;
      if (std::filesystem::exists(journalFolder))
        for (const auto& entry : std::filesystem::directory_iterator(journalFolder)) {
          if (entry.path().extension() != ".jsonl" || earlier.count(entry.path().string())) continue;
          const std::string text = test::slurp(entry.path().string());
          written = std::max<std::size_t>(written, std::count(text.begin(), text.end(), '\n'));
        }
      int status = 0;
      if (written >= lines || ::waitpid(child, &status, WNOHANG) == child ||
          std::chrono::steady_clock::now() > deadline)
        break;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const Outcome undone = run("undo " + quoted());
    EXPECT_TRUE(undone.status == 0 || undone.err.find("nothing to undo") != std::string::npos)
        << lines << ": " << undone.out.substr(0, 500) << undone.err;
    EXPECT_SAME_LISTING(listing(volume_), before) << "killed after " << lines << " journal lines";
  }
  std::size_t cutShort = 0;
  for (const auto& recorded : jsonLines(run("journal --json " + quoted()).out))
    cutShort += recorded["complete"] == false;
  EXPECT_GE(cutShort, 1u) << "no kill came while a repair ran";
}

TEST_F(Undo, AKextInstallWithAndWithoutBackupIsUndone) {
  if (!isRoot()) GTEST_SKIP() << "installed kexts belong to root";
  makeVolume();
  const std::string extensions = volume_ + "/Library/Extensions/";
  platform::makeDirectories(extensions + "FakeSMC.kext/Contents", 0700);
  platform::writeFile(extensions + "FakeSMC.kext/Contents/Info.plist", "the old one", 0600);
  const std::string fakeSMC = makeKext("FakeSMC.kext", "new");
  const std::string lilu = makeKext("Lilu.kext", "lilu");
  const std::string before = listing(volume_);

  const Outcome installed =
      run("kexts install '" + fakeSMC + "' '" + lilu + "' --volume " + quoted() + " --backup-to backups --json");
  ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
  const auto outcomes = jsonLines(installed.out);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0]["name"], "FakeSMC.kext");
  EXPECT_EQ(outcomes[0]["installed"], true);
  EXPECT_EQ(outcomes[0]["replaced"], true);
  EXPECT_EQ(outcomes[0]["folder"], "/Library/Extensions/");
  ASSERT_TRUE(outcomes[0]["kept"].is_string());
  EXPECT_EQ(test::slurp(outcomes[0]["kept"].get<std::string>() + "/Contents/Info.plist"), "the old one");
  ASSERT_TRUE(outcomes[0]["backup"].is_string());
  EXPECT_EQ(test::slurp(outcomes[0]["backup"].get<std::string>() + "/Contents/Info.plist"), "the old one");
  EXPECT_EQ(outcomes[1]["replaced"], false);
  EXPECT_TRUE(outcomes[1]["kept"].is_null() && outcomes[1]["backup"].is_null() && outcomes[1]["message"].is_null());
  EXPECT_EQ(outcomes[0]["run"], outcomes[1]["run"]);
  EXPECT_EQ(test::slurp(extensions + "FakeSMC.kext/Contents/MacOS/binary"), "new");
  struct stat info {};
  ASSERT_EQ(::stat((extensions + "FakeSMC.kext/Contents/MacOS/binary").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(info.st_uid, 0u);

  const Outcome listed = run("kexts list --json " + quoted());
  ASSERT_EQ(listed.status, 0);
  const auto kexts = jsonLines(listed.out);
  ASSERT_GE(kexts.size(), 2u);
  for (const char* key : {"folder", "name", "identifier", "version", "modified"}) EXPECT_TRUE(kexts[0].contains(key));
  EXPECT_GE(kexts[0]["modified"].get<std::int64_t>(), kexts.back()["modified"].get<std::int64_t>()) << "newest first";

  const Outcome backedUp = run("kexts backup FakeSMC.kext Missing.kext --volume " + quoted() +
                               " --folder Library/Extensions --to backups2 --json");
  EXPECT_EQ(backedUp.status, 1) << "Missing.kext is not installed";
  const auto backups = jsonLines(backedUp.out);
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[0]["backedUp"], true);
  EXPECT_EQ(test::slurp(backups[0]["backup"].get<std::string>() + "/Contents/MacOS/binary"), "new");
  EXPECT_EQ(backups[1]["backedUp"], false);
  EXPECT_TRUE(backups[1]["backup"].is_null());

  ASSERT_EQ(run("undo " + quoted()).status, 0);
  EXPECT_SAME_LISTING(listing(volume_), before);

  // Without a backup the journal still keeps what the install replaced.
  const Outcome again = run("kexts install '" + fakeSMC + "' --volume " + quoted() + " --no-backup");
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("kept in " + volume_ + "/Library/Logs/Tarnix/Journal/"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("backed up"), std::string::npos);
  ASSERT_EQ(run("undo " + quoted()).status, 0);
  EXPECT_SAME_LISTING(listing(volume_), before);
}

TEST_F(Undo, AKextFolderRepairIsUndone) {
  if (!isRoot()) GTEST_SKIP() << "the folder's items are given to root";
  makeVolume();
  const std::string kext = volume_ + "/Library/Extensions/Foo.kext";
  platform::makeDirectories(kext + "/Contents", 0700);
  platform::writeFile(kext + "/Contents/Info.plist", "x", 04600);
  ASSERT_EQ(::chown((kext + "/Contents/Info.plist").c_str(), 501, 20), 0);
  ::chmod((kext + "/Contents/Info.plist").c_str(), 04600);
  platform::makeSymlink("Info.plist", kext + "/Contents/link");
  const std::string before = listing(volume_);

  const Outcome repaired = run("kexts repair-folder /Library/Extensions/ " + quoted() + " --json");
  ASSERT_EQ(repaired.status, 0) << repaired.out << repaired.err;
  const auto result = jsonLines(repaired.out).at(0);
  EXPECT_EQ(result["repaired"], true);
  EXPECT_GT(result["changes"].get<int>(), 0);
  EXPECT_TRUE(result["run"].is_string());
  ASSERT_EQ(run("undo " + quoted()).status, 0);
  EXPECT_SAME_LISTING(listing(volume_), before);
}

TEST_F(Undo, ACloverSaveIsUndoneFromItsDatedCopy) {
  const std::string fixture = test::realFixture("clover/config-sample.plist");
  TARNIX_REQUIRE_FIXTURE(fixture);
  const std::string config = dir_ / "EFI/CLOVER/config.plist";
  platform::makeDirectories(dir_ / "EFI/CLOVER");
  ASSERT_EQ(platform::writeFile(config, test::slurp(fixture)), 0);
  const std::string original = test::slurp(config);

  const Outcome saved = run("sip set 0x67 --config EFI/CLOVER/config.plist --json");
  ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
  const auto result = jsonLines(saved.out).at(0);
  EXPECT_EQ(result["target"], "file");
  EXPECT_EQ(result["path"], config);
  EXPECT_EQ(result["bootloader"], "Clover");
  EXPECT_EQ(result["value"], 0x67);
  EXPECT_EQ(result["hex"], "0x67");
  EXPECT_EQ(result["before"], 0xa87);
  EXPECT_EQ(result["done"], true);
  EXPECT_EQ(test::slurp(result["kept"].get<std::string>()), original);
  EXPECT_EQ(result["flags"], Json::array({"allow-untrusted-kexts", "allow-unrestricted-fs", "allow-task-for-pid",
                                          "allow-unrestricted-dtrace", "allow-unrestricted-nvram"}));
  const Outcome shown = run("sip show --config EFI/CLOVER/config.plist --json");
  EXPECT_EQ(jsonLines(shown.out).at(0)["value"], 0x67);
  EXPECT_EQ(jsonLines(shown.out).at(0)["state"], "value");

  const auto runs = jsonLines(run("journal --system --json").out);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["operation"], "save-config");
  EXPECT_EQ(runs[0]["target"], config);

  const Outcome undone = run("undo --system");
  ASSERT_EQ(undone.status, 0) << undone.out << undone.err;
  EXPECT_EQ(test::slurp(config), original);

  // Saved again, then edited by hand: the undo refuses and leaves the user's edit.
  ASSERT_EQ(run("booter set 0x28 --config EFI/CLOVER/config.plist").status, 0);
  ASSERT_EQ(platform::writeFile(config, original + "<!-- edited -->"), 0);
  const Outcome refused = run("undo --system");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("conflict: file " + config), std::string::npos) << refused.out;
  EXPECT_EQ(test::slurp(config), original + "<!-- edited -->");

  // Recorded on a volume too, the save is still taken back from the system's journal, and an
  // undo of the volume says so rather than only "nothing to undo".
  makeVolume();
  const Outcome onVolume = run("sip set 0x67 --config EFI/CLOVER/config.plist --volume " + quoted() + " --json");
  ASSERT_EQ(onVolume.status, 0) << onVolume.err;
  const std::string savedRun = jsonLines(onVolume.out).at(0)["run"].get<std::string>();
  const Outcome fromVolume = run("undo " + quoted());
  EXPECT_EQ(fromVolume.status, 1);
  EXPECT_NE(fromVolume.err.find("bramble undo --system " + savedRun), std::string::npos) << fromVolume.err;
}

TEST_F(Undo, NvramWritesAreUndoneByteForByte) {
  const std::string sip = dir_ / "efivars/csr-active-config-7c436110-ab2a-4bbb-a880-fe41995c9f82";
  const std::string booter = dir_ / "efivars/bootercfg-7c436110-ab2a-4bbb-a880-fe41995c9f82";
  const std::string sipBefore("\x07\x00\x00\x00\x10\x00\x00\x00", 8);  // attributes, then the word 0x10
  ASSERT_EQ(platform::writeFile(sip, sipBefore), 0);

  const Outcome set = run("sip set --flag allow-untrusted-kexts --flag allow-unrestricted-fs --json");
  ASSERT_EQ(set.status, 0) << set.out << set.err;
  const auto result = jsonLines(set.out).at(0);
  EXPECT_EQ(result["target"], "nvram");
  EXPECT_EQ(result["before"], 0x10);
  EXPECT_EQ(result["value"], 3);
  EXPECT_EQ(test::slurp(sip).substr(4), std::string("\x03\x00\x00\x00", 4));
  ASSERT_EQ(run("booter set 0x28").status, 0);
  EXPECT_EQ(test::slurp(booter).substr(4), std::string("\x28\x00", 2));
  EXPECT_EQ(jsonLines(run("sip show --json").out).at(0)["flags"],
            Json::array({"allow-untrusted-kexts", "allow-unrestricted-fs"}));

  ASSERT_EQ(run("undo --system").status, 0);  // the booter word, which was not there before
  EXPECT_FALSE(platform::pathExists(booter));
  ASSERT_EQ(run("undo --system").status, 0);
  EXPECT_EQ(test::slurp(sip), sipBefore);
}

TEST_F(Undo, ARunFromAForgedVolumeNeverReachesOutsideIt) {
  makeVolume();
  const std::string outside = dir_ / "outside.plist";
  ASSERT_EQ(platform::writeFile(outside, "host file"), 0);
  const std::string folder = volume_ + "/Library/Logs/Tarnix/Journal";
  platform::makeDirectories(folder);
  const std::string run_ = "20261210T094500Z-abcdef";
  const std::string time = "\"time\":\"2026-12-10T09:45:00.000000Z\"";
  const std::string digest(32, 'a');
  platform::writeFile(folder + "/" + run_ + ".jsonl", "{\"journal\":1,\"run\":\"" + run_ + "\"," + time +
                                                          ",\"operation\":\"save-config\","
                                                          "\"target\":\"\",\"tool\":\"forged\",\"uid\":0}\n"
                                                          "{\"run\":\"" +
                                                          run_ + "\"," + time +
                                                          ",\"seq\":1,\"operation\":\"x\",\"kind\":\"file\","
                                                          "\"path\":\"" +
                                                          outside + "\",\"before\":\"" + digest + "\",\"after\":\"" +
                                                          std::string(32, 'b') +
                                                          "\",\"kept\":\"/etc/hostname\"}\n"
                                                          "{\"run\":\"" +
                                                          run_ + "\"," + time +
                                                          ",\"seq\":2,\"operation\":\"x\",\"kind\":\"kext\","
                                                          "\"path\":\"/etc/passwd\",\"before\":null,\"after\":\"" +
                                                          digest + "\"}\n");
  const Outcome undone = run("undo --force " + quoted() + " " + run_);
  EXPECT_NE(undone.out.find("elsewhere: file " + outside), std::string::npos) << undone.out << undone.err;
  EXPECT_NE(undone.out.find("failed: kext /etc/passwd"), std::string::npos) << undone.out;
  EXPECT_EQ(test::slurp(outside), "host file");
}

TEST_F(Undo, EveryNewCommandExplainsItselfAndRefusesBadInput) {
  makeVolume();
  for (const char* command :
       {"kexts --help", "caches --help", "sip --help", "booter --help", "journal --help", "undo --help"}) {
    const Outcome help = run(command);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind("Usage: bramble", 0), 0u) << command;
  }
  const std::pair<std::string, std::string> cases[] = {
      {"kexts install --volume " + quoted(), "needs at least one KEXT"},
      {"kexts install nothing.kext --volume " + quoted(), "is not a kext bundle"},
      {"kexts install " + quoted(), "needs --volume"},
      {"kexts list", "takes one VOLUME"},
      {"kexts frobnicate " + quoted(), "unknown kexts command"},
      {"kexts repair-folder /etc/ " + quoted(), "FOLDER must be"},
      {"kexts backup A.kext --volume " + quoted(), "needs --volume VOLUME, --folder FOLDER and --to DIR"},
      {"caches rebuild", "caches rebuild VOLUME"},
      {"sip set 0x200", "VALUE must be a number from 0 to 0x1ff"},
      {"sip set 0x3 --flag hidpi", "not both"},
      {"booter set --flag allow-untrusted-kexts", "no flag is named"},
      {"sip show --config missing.plist", "is not a Clover, Chameleon or OpenCore"},
      {"journal", "needs a VOLUME or --system"},
      {"journal " + dir_.path(), "is not a macOS volume"},
      {"undo " + quoted() + " 20261210T094500Z-000000", "there is no such run"},
      {"undo " + quoted() + " ../../etc/passwd", "it is not a run id"},
      {"undo --bogus " + quoted(), "unknown option"},
  };
  for (const auto& [arguments, message] : cases) {
    const Outcome refused = run(arguments);
    EXPECT_EQ(refused.status, 2) << arguments;
    EXPECT_NE(refused.err.find(message), std::string::npos) << arguments << ": " << refused.err;
    EXPECT_TRUE(refused.out.empty()) << arguments;
  }
  // Without kextcache the caches are marked stale.
  const Outcome caches = bramble("caches rebuild --json " + quoted(), dir_.path(),
                                 environment_ + " TARNIX_KEXTCACHE=" + dir_ / "no-kextcache");
  EXPECT_EQ(caches.status, 0) << caches.err;
  EXPECT_EQ(jsonLines(caches.out).at(0)["how"], "marked-stale");
}

}  // namespace
}  // namespace tarnix
