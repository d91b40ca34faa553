// The Installation pane's decisions without a display: each run is told as the list of what
// the presenter asked of its view, with texts rendered key by key.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/presenter/QLInstallationPresenter.h"

namespace tarnix {
namespace {

namespace fs = std::filesystem;
using Events = std::vector<std::string>;

// "{key}" for a key, "{key:argument}" for one with a value, literals as they are.
std::string rendered(const QLInstallationText& text) {
  std::string out;
  for (const auto& piece : text.pieces)
    out += piece.key.empty() ? piece.text : "{" + piece.key + (piece.text.empty() ? "" : ":" + piece.text) + "}";
  return out;
}

std::string names(const std::vector<QLKernelExtension>& kexts) {
  std::string out;
  for (const auto& kext : kexts) out += (out.empty() ? "" : " ") + kext.name();
  return out;
}

std::vector<QLKernelExtension> kexts(const std::vector<std::string>& paths) {
  std::vector<QLKernelExtension> out;
  for (const auto& path : paths) out.push_back(QLKernelExtension::fromPath(path));
  return out;
}

class RecordingView final : public QLInstallationPaneView {
 public:
  bool ezMode = false;
  bool ready = true;  // a volume and a helper
  bool volume = true;
  bool helper = true;
  bool backup = false;
  std::string backupPath;
  std::string mountPoint = "/nowhere";
  bool cachesNow = true;
  // The folders a backup destination holds: before the backup, then after it.
  mutable std::vector<std::vector<std::string>> folders;
  std::function<void()> pause;
  Events events;

  bool ezModePreference() const override { return ezMode; }
  bool canCallHelper() override {
    if (!ready) events.push_back("alert:no volume or helper");
    return ready;
  }
  bool hasTargetVolume() const override { return volume; }
  std::string targetMountPoint() const override { return mountPoint; }
  bool helperConnected() const override { return helper; }
  bool backupRequested() const override { return backup; }
  std::string backupFolderPath() const override { return backupPath; }
  std::vector<std::string> foldersIn(const std::string&) const override {
    if (folders.empty()) return {};
    auto next = folders.front();
    if (folders.size() > 1) folders.erase(folders.begin());
    return next;
  }
  bool helperRebuildsCachesNow() const override { return cachesNow; }
  void backUp(const std::vector<QLKernelExtension>& list, QLKernelExtensionFolder folder,
              const std::string& destination) override {
    events.push_back("backUp:" + names(list) + ":" + std::string(rawValue(folder)) + ":" + destination);
  }
  void install(const std::vector<QLKernelExtension>& list, QLKernelExtensionFolder folder) override {
    events.push_back("install:" + names(list) + ":" + std::string(rawValue(folder)));
  }
  void repairDiskPermissions() override { events.push_back("repair"); }
  void rebuildCaches() override { events.push_back("caches"); }
  void lockInstallationControls() override { events.push_back("lock"); }
  void unlockInstallationControls(bool ez) override { events.push_back(ez ? "unlock:ez" : "unlock"); }
  void startProgress() override { events.push_back("start"); }
  void stopProgress() override { events.push_back("stop"); }
  void showStep(std::string_view key, bool ez) override {
    events.push_back(std::string(ez ? "ezStep:" : "step:") + std::string(key));
  }
  void showReady() override { events.push_back("ready"); }
  void showAlert(std::string_view key) override { events.push_back("alert:" + std::string(key)); }
  void reloadKexts() override { events.push_back("reload"); }
  void showFinished(const QLInstallationText& text) override { events.push_back("finished:" + rendered(text)); }
  void presentResults(const QLInstallationText& description,
                      std::vector<QLRepairPermissionsRepresentableResult> results) override {
    events.push_back("results:" + rendered(description) + ":" + std::to_string(results.size()));
  }
  void showEZMode(bool ez) override { events.push_back(ez ? "ezMode:on" : "ezMode:off"); }
  void showEZIdle() override { events.push_back("ezIdle"); }
  void showEZPreparing() override { events.push_back("ezPreparing"); }
  void showEZRunning() override { events.push_back("ezRunning"); }
  void showEZWaitingForAVolume() override { events.push_back("ezWaiting"); }
  void afterPreparingPause(std::function<void()> task) override {
    events.push_back("pause");
    pause = std::move(task);
  }
};

class InstallationPresenterTest : public ::testing::Test {
 protected:
  InstallationPresenterTest() { manager_.installationFolder = QLKernelExtensionFolder::LibraryExtensions; }

  // Reads the mode as the pane does when it loads, and forgets what that showed.
  void load(bool ezMode) {
    view_.ezMode = ezMode;
    presenter_.renderEZView();
    view_.events.clear();
  }
  void endPause() {
    ASSERT_TRUE(view_.pause);
    auto task = std::exchange(view_.pause, nullptr);
    task();
  }

  RecordingView view_;
  QLKernelExtensionsManager manager_;
  QLInstallationPresenter presenter_{view_, manager_};
};

TEST(InstallationPresenterText, FailureTextNamesEachListOnce) {
  struct Case {
    std::vector<std::string> backup, install;
    std::string expected;
  };
  const std::vector<Case> cases{
      {{}, {}, ""},
      {{}, {"/a/A.kext", "/b/B.kext"}, "{kQLInstallationVCFailedToInstallKexts}A.kext B.kext"},
      {{"/a/X.kext"}, {}, "{kQLInstallationVCFailedToBackupKexts}X.kext\n"},
      {{"/a/X.kext"},
       {"/a/A.kext"},
       "{kQLInstallationVCFailedToBackupKexts}X.kext\n{kQLInstallationVCFailedToInstallKexts}A.kext"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rendered(QLInstallationPresenter::failureText(kexts(c.backup), kexts(c.install))), c.expected)
        << c.expected;
  EXPECT_TRUE(QLInstallationPresenter::failureText(std::nullopt, std::nullopt).empty());
}

TEST(InstallationPresenterText, RowsAndPaths) {
  EXPECT_EQ(QLInstallationPresenter::folderOfRow(0), QLKernelExtensionFolder::SystemLibraryExtensions);
  EXPECT_EQ(QLInstallationPresenter::folderOfRow(1), QLKernelExtensionFolder::LibraryExtensions);
  EXPECT_EQ(QLInstallationPresenter::folderOfRow(2), QLKernelExtensionFolder::ExtraExtensions);
  EXPECT_EQ(QLInstallationPresenter::kextPath("/k/A.kext//"), "/k/A.kext");
  EXPECT_EQ(QLInstallationPresenter::kextPath("/"), "/");
}

// Each way a run can go, normal and EZ: the calls in order, and what the end says.
TEST_F(InstallationPresenterTest, RunsCallTheHelperInOrderAndSayHowTheyEnded) {
  struct Case {
    const char* name;
    bool ezMode, ready, backup, helperStays, cachesNow;
    std::string backupPath;
    std::vector<std::string> installFails;
    Events expected;
  };
  const std::vector<Case> cases{
      {"normal, no backup, one kext fails",
       false,
       true,
       false,
       true,
       true,
       "",
       {"/k/B.kext"},
       {"lock", "start", "step:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/", "stop",
        "finished:{kQLMaintenanceVCSelectedOperationsFinished}\n\n{kQLInstallationVCFailedToInstallKexts}B.kext",
        "ready", "unlock"}},
      {"normal, backup of kexts not installed yet",
       false,
       true,
       true,
       true,
       true,
       "/backups",
       {},
       {"lock", "start", "step:kQLMainAbstractBackingUpKexts", "backUp::/Library/Extensions/:/backups/",
        "step:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/", "stop",
        "finished:{kQLMaintenanceVCSelectedOperationsFinished} {kQLInstallationVCNothingToBackUp}", "ready", "unlock"}},
      {"normal, backup without a backup folder",
       false,
       true,
       true,
       true,
       true,
       "",
       {},
       {"alert:kQLInstallationVCNoBackupFolder", "stop"}},
      {"normal, without a volume or helper",
       false,
       false,
       false,
       true,
       true,
       "",
       {},
       {"alert:no volume or helper", "stop"}},
      {"EZ, everything",
       true,
       true,
       false,
       true,
       true,
       "",
       {},
       {"lock", "ezStep:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/", "repair",
        "caches", "results:{kQLInstallationVCSelectedKextsInstalledOperationsAllFinished}:1", "ready", "unlock:ez"}},
      {"EZ, caches only marked",
       true,
       true,
       false,
       true,
       false,
       "",
       {},
       {"lock", "ezStep:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/", "repair",
        "caches", "results:{kQLInstallationVCSelectedKextsInstalledCachesMarkedForRebuild}:1", "ready", "unlock:ez"}},
      {"EZ, one kext fails",
       true,
       true,
       false,
       true,
       true,
       "",
       {"/k/A.kext"},
       {"lock", "ezStep:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/", "repair",
        "caches", "results:{kQLInstallationVCFailedToInstallKexts}A.kext:1", "ready", "unlock:ez"}},
      {"EZ, the helper goes away after the install",
       true,
       true,
       false,
       false,
       true,
       "",
       {},
       {"lock", "ezStep:kQLMainAbstractInstallingKexts", "install:A.kext B.kext:/Library/Extensions/",
        "results:{kQLInstallationVCSelectedKextsInstalledOperationsAllFinished}:0", "ready", "unlock:ez"}},
      {"EZ, without a volume or helper",
       true,
       false,
       false,
       true,
       true,
       "",
       {},
       {"alert:no volume or helper", "stop", "ezIdle", "ezMode:on"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.ezMode);
    view_.ready = c.ready;
    view_.backup = c.backup;
    view_.backupPath = c.backupPath;
    view_.cachesNow = c.cachesNow;
    view_.helper = true;
    manager_.kextsTBI = kexts({"/k/A.kext", "/k/B.kext"});
    presenter_.execute();
    // Each reply the last call asked for.
    for (int step = 0; step < 4 && !view_.events.empty(); ++step) {
      const std::string last = view_.events.back();
      if (last.starts_with("backUp:"))
        presenter_.didBackupKexts({});
      else if (last.starts_with("install:")) {
        view_.helper = c.helperStays;
        presenter_.didInstallKexts(kexts(c.installFails));
      } else if (last == "repair")
        presenter_.didRepairDiskPermissionsWithResults({{"id", "/p", "m", 1, 2, 2, "Fixed"}});
      else if (last == "caches")
        presenter_.didRebuildCaches();
    }
    EXPECT_EQ(view_.events, c.expected);
    EXPECT_FALSE(presenter_.isInstalling());
    if (c.ezMode && c.ready) {
      EXPECT_TRUE(manager_.kextsTBI.empty());
    }
  }
}

TEST_F(InstallationPresenterTest, TheBackupNamesTheOneFolderItAddedAndFailuresAfterIt) {
  const fs::path volume = fs::temp_directory_path() /
                          ("tarnix-presenter-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(volume / "Library/Extensions/Old.kext");
  load(false);
  view_.backup = true;
  view_.backupPath = "/backups/";
  view_.mountPoint = volume.string();
  view_.folders = {{"2024-01-01"}, {"2024-01-01", "2025-06-30 10.00.00"}};
  manager_.kextsTBI = kexts({"/k/New.kext", "/k/Old.kext"});
  presenter_.execute();
  presenter_.didBackupKexts(kexts({"/k/Old.kext"}));
  presenter_.didInstallKexts({});
  fs::remove_all(volume);
  const Events expected{"lock",
                        "start",
                        "step:kQLMainAbstractBackingUpKexts",
                        "backUp:Old.kext:/Library/Extensions/:/backups/",
                        "step:kQLMainAbstractInstallingKexts",
                        "install:New.kext Old.kext:/Library/Extensions/",
                        "stop",
                        "finished:{kQLMaintenanceVCSelectedOperationsFinished} "
                        "{kQLInstallationVCBackedUpTo:/backups/2025-06-30 10.00.00}\n\n"
                        "{kQLInstallationVCFailedToBackupKexts}Old.kext\n",
                        "ready",
                        "unlock"};
  EXPECT_EQ(view_.events, expected);
  EXPECT_EQ(presenter_.lastBackupFolder(), "/backups/2025-06-30 10.00.00");
}

TEST_F(InstallationPresenterTest, DropsDuringThePauseJoinTheRunAndLaterOnesAreRefused) {
  load(true);
  presenter_.prepareEZInstallation({"/k/A.kext/", "/k/Folder"});
  presenter_.prepareEZInstallation({"/k/B.kext"});
  EXPECT_EQ(view_.events, (Events{"ezPreparing", "pause"}));
  EXPECT_TRUE(presenter_.isInstalling());
  view_.events.clear();
  endPause();
  EXPECT_EQ(view_.events, (Events{"ezRunning", "reload", "lock", "ezStep:kQLMainAbstractInstallingKexts",
                                  "install:A.kext B.kext:/Library/Extensions/"}));
  view_.events.clear();
  presenter_.prepareEZInstallation({"/k/C.kext"});
  presenter_.renderEZView();  // the preference switched while the run goes on
  EXPECT_TRUE(view_.events.empty());
  view_.ezMode = false;
  presenter_.didInstallKexts({});
  presenter_.didRepairDiskPermissionsWithResults({});
  presenter_.didRebuildCaches();
  EXPECT_EQ(view_.events,
            (Events{"repair", "caches", "results:{kQLInstallationVCSelectedKextsInstalledOperationsAllFinished}:0",
                    "ready", "unlock:ez", "ezMode:off"}));
  EXPECT_FALSE(presenter_.enableEZMode);
}

TEST_F(InstallationPresenterTest, DropsWithoutAVolumeWaitForOne) {
  load(true);
  view_.volume = false;
  presenter_.prepareEZInstallation({"/k/A.kext"});
  presenter_.prepareEZInstallation({"/k/A.kext", "/k/B.kext"});
  EXPECT_EQ(presenter_.kextsWaitingForAVolume(), (std::vector<std::string>{"/k/A.kext", "/k/B.kext"}));
  EXPECT_EQ(view_.events, (Events{"ezWaiting", "alert:kQLInstallationVCEZNoTargetVolume", "ezWaiting",
                                  "alert:kQLInstallationVCEZNoTargetVolume"}));
  EXPECT_FALSE(presenter_.isInstalling());
  view_.events.clear();
  view_.volume = true;
  presenter_.targetVolumeDidChange();
  EXPECT_TRUE(presenter_.kextsWaitingForAVolume().empty());
  endPause();
  EXPECT_EQ(view_.events.back(), "install:A.kext B.kext:/Library/Extensions/");
}

TEST_F(InstallationPresenterTest, ARefusalEndsTheRunAndSwitchingModeForgetsWaitingKexts) {
  load(true);
  manager_.kextsTBI = kexts({"/k/A.kext"});
  presenter_.execute();
  view_.events.clear();
  presenter_.didRefuse();
  EXPECT_EQ(view_.events, (Events{"stop", "ezIdle", "ezMode:on", "ready", "unlock:ez"}));
  EXPECT_FALSE(presenter_.isInstalling());

  view_.volume = false;
  presenter_.prepareEZInstallation({"/k/B.kext"});
  presenter_.renderEZView();
  EXPECT_TRUE(presenter_.kextsWaitingForAVolume().empty());
}

}  // namespace
}  // namespace tarnix
