#include <gtest/gtest.h>

#include "TestSupport.h"
#include "model/QLKernelExtension.h"
#include "model/QLKernelExtensionFolder.h"
#include "model/QLKernelExtensionsManager.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

TEST(QLKernelExtension, NameAndPathFromTheURL) {
  const auto chosen = QLKernelExtension::initWithPathURL("file:///Users/a/My%20Kexts/Foo.kext/");
  EXPECT_EQ(chosen.name(), "Foo.kext");
  EXPECT_EQ(chosen.path(), "/Users/a/My Kexts/Foo.kext/");

  // A dropped path round-trips through its URL, whatever it contains.
  const auto dropped = QLKernelExtension::fromPath("/tmp/K #1/100%/Büro.kext");
  EXPECT_EQ(dropped.path(), "/tmp/K #1/100%/Büro.kext");
  EXPECT_EQ(dropped.name(), "Büro.kext");
  EXPECT_EQ(dropped, QLKernelExtension::initWithPathURL(dropped.url()));
  EXPECT_FALSE(dropped == chosen);
}

struct VersionCase {
  const char* name;
  const char* info;         // Info.plist text, or null
  const char* versionList;  // version.plist text, or null
  std::optional<std::string> expected;
};

std::string plistWith(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + body + "</dict></plist>";
}

TEST(QLKernelExtension, VersionTakesTheFirstPresentCandidate) {
  const VersionCase cases[] = {
      {"short version list wins", "<key>CFBundleShortVersionString</key><string>1.0</string>",
       "<key>CFBundleShortVersionString</key><string>6.26-344</string>", "6.26-344"},
      {"only bundle version", "<key>CFBundleVersion</key><string>1234</string>", nullptr, "1234"},
      {"info short before list bundle version", "<key>CFBundleShortVersionString</key><string>2.0</string>",
       "<key>CFBundleVersion</key><string>99</string>", "2.0"},
      {"non-string is absent",
       "<key>CFBundleShortVersionString</key><integer>3</integer>"
       "<key>CFBundleVersion</key><string>7</string>",
       nullptr, "7"},
      {"nothing", nullptr, nullptr, std::nullopt},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string bundle = dir / "Foo.kext";
    platform::makeDirectories(bundle + "/Contents");
    if (c.info) platform::writeFile(bundle + "/Contents/Info.plist", plistWith(c.info));
    if (c.versionList) platform::writeFile(bundle + "/Contents/version.plist", plistWith(c.versionList));
    EXPECT_EQ(QLKernelExtension::initWithPathURL("file://" + bundle + "/").version(), c.expected) << c.name;
  }
}

TEST(QLKernelExtension, VersionOfARealKext) {
  const auto info = test::realFixture("kext/FakeSMC.kext-Info.plist");
  TARNIX_REQUIRE_FIXTURE(info);
  test::TempDir dir;
  platform::makeDirectories(dir / "FakeSMC.kext/Contents");
  platform::writeFile(dir / "FakeSMC.kext/Contents/Info.plist", test::slurp(info));
  EXPECT_EQ(QLKernelExtension::fromPath(dir / "FakeSMC.kext").version(), "6.26-344-g1cf53906.1787");
}

TEST(QLKernelExtensionFolder, OnlyTheFiveRawValues) {
  EXPECT_EQ(kernelExtensionFolderFromRawValue("QLKextFolderUseSmartTable"), QLKernelExtensionFolder::UseSmartTable);
  EXPECT_EQ(kernelExtensionFolderFromRawValue("/Library/Extensions/"), QLKernelExtensionFolder::LibraryExtensions);
  for (const char* bad : {"/library/extensions/", "/Library/Extensions", "", "/System/Library/Extensions/../"})
    EXPECT_FALSE(kernelExtensionFolderFromRawValue(bad)) << bad;
  for (auto folder : {QLKernelExtensionFolder::ExtraExtensions, QLKernelExtensionFolder::AskMeEveryTime})
    EXPECT_EQ(kernelExtensionFolderFromRawValue(rawValue(folder)), folder);
}

TEST(QLKernelExtensionsManager, AddsKextsOnceAndSelectsInstalledOnesForBackup) {
  test::TempDir volume;
  platform::makeDirectories(volume / "Library/Extensions/Foo.kext");

  QLKernelExtensionsManager manager;
  manager.addKexts({"file:///src/Foo.kext/", "file:///src/Foo.kext/", "file:///src/Foo.bundle/",
                    "file:///src/Bar.KEXT/", "file:///src/Bar.kext/"});
  manager.addKextsFromPaths({"/src/Foo.kext"});  // no trailing slash: another path, another kext
  ASSERT_EQ(manager.kextsTBI.size(), 3u);
  EXPECT_EQ(manager.kextsTBI[0].name(), "Foo.kext");
  EXPECT_EQ(manager.kextsTBI[1].name(), "Bar.kext");

  auto backups = manager.kextsToBackUp(volume.path());
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[0].name(), "Foo.kext");
  manager.installationFolder = QLKernelExtensionFolder::ExtraExtensions;
  EXPECT_TRUE(manager.kextsToBackUp(volume.path()).empty());
  manager.installationFolder = QLKernelExtensionFolder::UseSmartTable;
  EXPECT_TRUE(manager.kextsToBackUp(volume.path()).empty());
}

}  // namespace
}  // namespace tarnix
