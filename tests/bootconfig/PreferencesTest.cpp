#include <gtest/gtest.h>

#include "model/QLMemoryPreferenceStore.h"
#include "model/QLPreferences.h"

namespace tarnix {
namespace {

TEST(Preferences, FirstLaunchStoresEachDefaultOnlyWhereNothingIsStored) {
  QLMemoryPreferenceStore store;
  QLPreferences preferences(store);
  preferences.setSilenceSIPWarning(true);
  preferences.registerDefaults("/home/me/.local/share/Tarnix", 8);

  EXPECT_TRUE(preferences.enableEZInstallationMode());
  EXPECT_TRUE(preferences.silenceSIPWarning()) << "a stored value is never replaced";
  EXPECT_EQ(preferences.repairPermissionsMaximumThreadsNumber(), 8);
  EXPECT_EQ(preferences.preferredKextsBackupFolderURL(), "file:///home/me/.local/share/Tarnix/Kexts/");
  EXPECT_FALSE(store.value(kQLPreferenceNavLastRootDirectory.name)) << "no default: set by the kext chooser";
  EXPECT_EQ(preferences.openPanelDirectory(), "~/Desktop/");

  preferences.setRepairPermissionsMaximumThreadsNumber(4);
  preferences.registerDefaults("/elsewhere", 2);
  EXPECT_EQ(preferences.repairPermissionsMaximumThreadsNumber(), 4);
  EXPECT_EQ(preferences.preferredKextsBackupFolderURL(), "file:///home/me/.local/share/Tarnix/Kexts/");
}

TEST(Preferences, ResetBringsBackTheFactoryDefaults) {
  QLMemoryPreferenceStore store;
  QLPreferences preferences(store);
  preferences.registerDefaults("/support/", 2);
  preferences.setEnableEZInstallationMode(false);
  preferences.setSilenceSIPWarning(true);
  preferences.setPreferredKextsBackupFolderURL("file:///mnt/backup/");
  preferences.resetAll();
  EXPECT_FALSE(store.value(kQLPreferenceEnableEZInstallationMode.name));
  preferences.registerDefaults("/support/", 2);
  EXPECT_TRUE(preferences.enableEZInstallationMode());
  EXPECT_FALSE(preferences.silenceSIPWarning());
  EXPECT_EQ(preferences.preferredKextsBackupFolderURL(), "file:///support/Kexts/");
}

TEST(Preferences, AValueOfTheWrongTypeReadsAsTheDefaultAndStays) {
  QLMemoryPreferenceStore store;
  QLPreferences preferences(store);
  store.setValue(kQLPreferenceEnableEZInstallationMode.name, std::string("no"));
  store.setValue(kQLPreferenceRepairPermissionsMaximumThreadsNumber.name, std::string("4"));
  preferences.registerDefaults("/support", 2);
  EXPECT_TRUE(preferences.enableEZInstallationMode());
  EXPECT_FALSE(preferences.repairPermissionsMaximumThreadsNumber());
  EXPECT_EQ(store.value(kQLPreferenceEnableEZInstallationMode.name), QLPreferenceValue(std::string("no")));
  EXPECT_EQ(store.value(kQLPreferenceRepairPermissionsMaximumThreadsNumber.name), QLPreferenceValue(std::string("4")));
}

TEST(Preferences, FolderURLsEscapeOnlyWhatAURLPathMust) {
  const std::pair<std::string, std::string> cases[] = {
      {"/Users/me/My Kexts/", "file:///Users/me/My%20Kexts/"},
      {"/home/o'brien/Backups (old)/", "file:///home/o'brien/Backups%20(old)/"},
      {"/a/100%/é", "file:///a/100%25/%C3%A9"},
      {"/keep/-._~!$&'()*+,;=:@/", "file:///keep/-._~!$&'()*+,;=:@/"},
      {"/escape/\"#?[]^`{|}\\<>", "file:///escape/%22%23%3F%5B%5D%5E%60%7B%7C%7D%5C%3C%3E"},
      {"/tab\there\x7f", "file:///tab%09here%7F"},
  };
  for (const auto& [path, url] : cases) EXPECT_EQ(fileURLFromPath(path), url) << path;
}

}  // namespace
}  // namespace tarnix
