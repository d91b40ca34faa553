#include <gtest/gtest.h>

#include "TestSupport.h"
#include "model/QLBootEnvironmentType.h"
#include "model/QLCPU.h"
#include "model/QLOSVersion.h"
#include "model/QLOSVolume.h"
#include "model/QLOSVolumeManager.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

using test::TempDir;

std::string versionPlist(const std::string& version, const std::string& build) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
         "<key>ProductVersion</key><string>" +
         version +
         "</string>"
         "<key>ProductBuildVersion</key><string>" +
         build + "</string></dict></plist>";
}

// A folder shaped like a volume root with the given SystemVersion.plist.
void makeVolume(const std::string& root, const std::string& plist) {
  ASSERT_EQ(platform::makeDirectories(root + "/System/Library/CoreServices"), 0);
  ASSERT_EQ(platform::writeFile(root + "/System/Library/CoreServices/SystemVersion.plist", plist), 0);
}

TEST(QLOSVersion, ReadsEveryRealSystemVersion) {
  struct Case {
    const char* file;
    std::int64_t major, minor, patch;
    const char* build;
  };
  const Case cases[] = {
      {"SystemVersion-10.4.11-8S2167.plist", 10, 4, 11, "8S2167"},
      {"SystemVersion-10.5-9M2809.plist", 10, 5, 0, "9M2809"},
      {"SystemVersion-10.6.8-10K549.plist", 10, 6, 8, "10K549"},
      {"SystemVersion-10.7.2-11C63.plist", 10, 7, 2, "11C63"},
      {"SystemVersion-10.8.3-12D75.plist", 10, 8, 3, "12D75"},
      {"SystemVersion-10.9-13A557.plist", 10, 9, 0, "13A557"},
      {"SystemVersion-10.10-14A382.plist", 10, 10, 0, "14A382"},
      {"SystemVersion-10.11-15A278.plist", 10, 11, 0, "15A278"},
      {"SystemVersion-10.12.2-16C58.plist", 10, 12, 2, "16C58"},
      {"SystemVersion-10.13-17A315g.plist", 10, 13, 0, "17A315g"},
      {"SystemVersion-10.14-18A336d.plist", 10, 14, 0, "18A336d"},
      {"SystemVersion-10.15-19A547.plist", 10, 15, 0, "19A547"},
      {"SystemVersion-11.3-20E214.plist", 11, 3, 0, "20E214"},
  };
  for (const auto& c : cases) {
    const std::string path = test::realFixture(std::string("systemversion/") + c.file);
    TARNIX_REQUIRE_FIXTURE(path);
    TempDir dir;
    makeVolume(dir.path(), test::slurp(path));
    const auto volume = QLOSVolume::initWithMountPoint(dir.path() + "/");
    ASSERT_TRUE(volume) << c.file;
    EXPECT_EQ(volume->mountPoint, dir.path());
    const auto& v = volume->osVersion;
    EXPECT_EQ(std::tie(v.majorVersion, v.minorVersion, v.patchVersion), std::tie(c.major, c.minor, c.patch)) << c.file;
    EXPECT_EQ(v.buildVersion, c.build);
  }
}

TEST(QLOSVersion, ParsesProductVersionStrings) {
  struct Case {
    const char* version;
    bool ok;
    std::int64_t major, minor, patch;
  };
  const Case cases[] = {
      {"10.13", true, 10, 13, 0},    {"10.13.2", true, 10, 13, 2},   {"10.13.", true, 10, 13, 0},
      {"10..13", true, 10, 13, 0},   {"+10.-1", true, 10, -1, 0},    {"10", false, 0, 0, 0},
      {"10.13.2.1", false, 0, 0, 0}, {"10.13.beta", false, 0, 0, 0}, {"", false, 0, 0, 0},
      {"+-10.13", false, 0, 0, 0},   {"-+10.13", false, 0, 0, 0},    {"++10.13", false, 0, 0, 0},
      {"10.--13", false, 0, 0, 0},   {"-10.13", true, -10, 13, 0},
  };
  platform::setLogSink(platform::LogSink::discard);
  for (const auto& c : cases) {
    const auto version = QLOSVersion::fromPropertyList(versionPlist(c.version, "17C88"));
    ASSERT_EQ(version.has_value(), c.ok) << c.version;
    if (!version) continue;
    EXPECT_EQ(version->majorVersion, c.major) << c.version;
    EXPECT_EQ(version->minorVersion, c.minor) << c.version;
    EXPECT_EQ(version->patchVersion, c.patch) << c.version;
    EXPECT_EQ(version->version, c.version);
  }
  platform::setLogSink(platform::LogSink::standardOutput);
}

TEST(QLOSVersion, SaysWhichStepFailed) {
  const std::pair<std::string, std::string> cases[] = {
      {"not a plist", "QLOSVersion::init() Error: Failed to find the info dictionary.\n"},
      {"<plist><dict><key>ProductBuildVersion</key><string>1</string></dict></plist>",
       "QLOSVersion::init() Error: Failed to find the os version.\n"},
      {"<plist><dict><key>ProductVersion</key><integer>10</integer></dict></plist>",
       "QLOSVersion::init() Error: Failed to find the os version.\n"},
      {"<plist><dict><key>ProductVersion</key><string>10.13</string></dict></plist>",
       "QLOSVersion::init() Error: Failed to find the os build version.\n"},
      {versionPlist("10", "A"), "QLOSVersion::init() Error: Invalid os version string.\n"},
      {versionPlist("+-10.13", "A"), "QLOSVersion::init() Error: Invalid os version string.\n"},
  };
  for (const auto& [plist, message] : cases) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(QLOSVersion::fromPropertyList(plist));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
  }
  testing::internal::CaptureStdout();
  EXPECT_FALSE(QLOSVolume::initWithMountPoint("/nonexistent-volume"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "QLOSVersion::init() Error: Failed to find the info dictionary.\n");
}

TEST(QLOSVersion, NamesReleasesByMinorVersion) {
  auto version = *QLOSVersion::fromPropertyList(versionPlist("10.12.6", "16G29"));
  EXPECT_EQ(version.getOSVersionString(), "macOS Sierra 10.12.6 (16G29)");
  EXPECT_EQ(version.getOSVersionShortString(), "10.12.6 (16G29)");
  const std::pair<std::int64_t, const char*> names[] = {{0, "Mac OS X Cheetah"},   {6, "Mac OS X Snow Leopard"},
                                                        {8, "OS X Mountain Lion"}, {13, "macOS High Sierra"},
                                                        {14, "macOS 10.14 <TBA>"}, {-1, "macOS 10.-1 <TBA>"}};
  for (const auto& [minor, name] : names) {
    version.minorVersion = minor;
    version.majorVersion = 11;  // never consulted
    EXPECT_EQ(version.getOSName(), name);
  }
}

TEST(QLOSVolume, NormalisesAndProbesTheVolume) {
  TempDir dir;
  makeVolume(dir.path(), versionPlist("10.13.6", "17G65"));
  auto volume = QLOSVolume::initWithMountPoint(dir.path() + "/");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->mountPoint, dir.path());
  EXPECT_FALSE(volume->hasExtraFolder());
  const bool hostRecovery = platform::pathExists("/com.apple.recovery.boot");
  EXPECT_EQ(volume->isRecovery(), hostRecovery);
  ASSERT_EQ(platform::writeFile(dir / "Extra", ""), 0);  // a file counts too
  EXPECT_TRUE(volume->hasExtraFolder());
  ASSERT_EQ(platform::makeDirectories(dir / "System/Installation"), 0);
  EXPECT_TRUE(volume->isRecovery());

  const auto archived = QLOSVolume::fromArchive("/Volumes/X", volume->osVersion);
  EXPECT_EQ(archived.mountPoint, "/Volumes/X");
  EXPECT_EQ(archived.osVersion.buildVersion, "17G65");
}

TEST(QLOSVolume, ReadsItsVersionInsideTheVolume) {
  // A SystemVersion.plist that links to an absolute path must not read the host's file.
  TempDir dir;
  ASSERT_EQ(platform::makeDirectories(dir / "System/Library/CoreServices"), 0);
  ASSERT_EQ(platform::makeDirectories(dir / "real"), 0);
  ASSERT_EQ(platform::writeFile(dir / "real/SystemVersion.plist", versionPlist("10.9", "13A603")), 0);
  ASSERT_EQ(platform::makeSymlink("/real/SystemVersion.plist", dir / "System/Library/CoreServices/SystemVersion.plist"),
            0);
  const auto volume = QLOSVolume::initWithMountPoint(dir.path());
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->osVersion.buildVersion, "13A603");
}

TEST(QLCPU, InfoString) {
  EXPECT_EQ(QLCPU("Intel(R) Core(TM) i7", 4, 8, 8).infoString(), "Intel(R) Core(TM) i7 4C8T");
  EXPECT_EQ(QLCPU(std::nullopt, std::nullopt, std::nullopt, 1).infoString(), "Unknown 0C0T");
  EXPECT_GE(QLCPU::shared().maxthread(), 1);
}

TEST(QLBootEnvironment, FromProbes) {
  EXPECT_EQ(bootEnvironmentFor(false, false), QLBootEnvironmentType::Normal);
  EXPECT_EQ(bootEnvironmentFor(true, false), QLBootEnvironmentType::Recovery);
  EXPECT_EQ(bootEnvironmentFor(false, true), QLBootEnvironmentType::SingleUser);
  EXPECT_EQ(bootEnvironmentFor(true, true), QLBootEnvironmentType::SingleUserRecovery);
  EXPECT_EQ(rawValue(QLBootEnvironmentType::SingleUserRecovery), "Single User Recovery/PE");
  EXPECT_EQ(rawValue(QLBootEnvironmentType::Recovery), "Recovery/PE");
}

TEST(QLOSVolumeManager, OffersMountedMacOSVolumesHFSAndAPFSFirst) {
  TempDir dir;
  makeVolume(dir / "ext", versionPlist("10.12.6", "16G29"));
  makeVolume(dir / "hfs", versionPlist("10.13.6", "17G65"));
  makeVolume(dir / "apfs", versionPlist("10.14", "18A391"));
  ASSERT_EQ(platform::makeDirectories(dir / "linux/etc"), 0);
  // A volume whose SystemVersion.plist is not a property list is no macOS volume.
  makeVolume(dir / "broken", "not a plist");
  const std::vector<platform::Mount> mounts{{dir / "linux", "ext4", false},     {dir / "ext", "ext4", false},
                                            {dir / "broken", "hfsplus", false}, {dir / "hfs", "hfsplus", true},
                                            {dir / "missing", "apfs", false},   {dir / "apfs", "apfs", false}};
  platform::setLogSink(platform::LogSink::discard);
  const auto volumes = QLOSVolumeManager::mountedVolumes(mounts);
  platform::setLogSink(platform::LogSink::standardOutput);
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].volume.mountPoint, dir / "hfs");
  EXPECT_TRUE(volumes[0].readOnly);
  EXPECT_EQ(volumes[1].volume.mountPoint, dir / "apfs");
  EXPECT_EQ(volumes[1].volume.osVersion.buildVersion, "18A391");
  EXPECT_EQ(volumes[2].volume.mountPoint, dir / "ext");
  EXPECT_EQ(volumes[2].fileSystemType, "ext4");
}

}  // namespace
}  // namespace tarnix
