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
  EXPECT_FALSE(store.value(kQLPreferenceNavLastRootDirectory.name)) << "belongs to the file panels";
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

TEST(Preferences, AValueOfTheWrongTypeReadsAsTheDefault) {
  QLMemoryPreferenceStore store;
  QLPreferences preferences(store);
  store.setValue(kQLPreferenceEnableEZInstallationMode.name, std::string("no"));
  store.setValue(kQLPreferenceRepairPermissionsMaximumThreadsNumber.name, std::string("4"));
  EXPECT_TRUE(preferences.enableEZInstallationMode());
  EXPECT_FALSE(preferences.repairPermissionsMaximumThreadsNumber());
}

TEST(Preferences, FolderURLsEncodeWhatAPathMayHold) {
  EXPECT_EQ(fileURLFromPath("/Users/me/My Kexts/"), "file:///Users/me/My%20Kexts/");
  EXPECT_EQ(fileURLFromPath("/a/100%/é"), "file:///a/100%25/%C3%A9");
}

}  // namespace
}  // namespace tarnix
