#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <unistd.h>

#include "PlistTree.h"
#include "TestSupport.h"
#include "bootconfig/QLBooterConfig.h"
#include "bootconfig/QLBootloaderConfigManager.h"
#include "bootconfig/QLChameleonConfig.h"
#include "bootconfig/QLCloverConfig.h"
#include "bootconfig/QLSIPConfig.h"
#include "platform/FakeFirmwareVariables.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

using platform::Plist;

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

Plist parsed(const std::string& path) { return platform::parseDictionary(test::slurp(path)); }

// A word of the given value, as the panes would hand it over.
QLSIPConfig sipWord(platform::FakeFirmwareVariables& nvram, std::int64_t value) {
  QLSIPConfig word(nvram);
  word.setDecimalValue(value);
  return word;
}
QLBooterConfig booterWord(platform::FakeFirmwareVariables& nvram, std::int64_t value) {
  QLBooterConfig word(nvram);
  word.setDecimalValue(value);
  return word;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

class BootloaderFiles : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& contents) {
    const std::string path = dir_ / name;
    EXPECT_EQ(platform::writeFile(path, contents), 0);
    return path;
  }
  test::TempDir dir_;
  platform::FakeFirmwareVariables nvram_;
  QLBootloaderConfigManager manager_;
};

TEST_F(BootloaderFiles, RecognisesTheBootloaderByItsTopLevelKeys) {
  struct Case {
    std::string body;
    bool recognised;
    QLBootloaderConfigType type;
  };
  const Case cases[] = {
      {"<dict><key>SMBIOS</key><dict/></dict>", true, QLBootloaderConfigType::clover},
      {"<dict><key>GUI</key><string>x</string></dict>", true, QLBootloaderConfigType::clover},
      {"<dict><key>Timeout</key><string>5</string></dict>", true, QLBootloaderConfigType::chameleon},
      // Chameleon names its SMBIOS file with a string under a key that is also a Clover section.
      {"<dict><key>SMBIOS</key><string>/Extra/smbios.plist</string><key>UseKernelCache</key><string>Yes</string></dict>",
       true, QLBootloaderConfigType::chameleon},
      {"<dict><key>SMBIOS</key><string>/Extra/smbios.plist</string></dict>", true, QLBootloaderConfigType::clover},
      {"<dict><key>Kernel Flags</key><string>-v</string><key>Boot</key><dict/></dict>", true,
       QLBootloaderConfigType::clover},
      {"<dict/>", false, {}},
      {"<dict><key>timeout</key><string>5</string></dict>", false, {}},
      {"<array><string>Boot</string></array>", false, {}},
      {"this is not a property list", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    QLBootloaderConfigManager manager;
    const std::string path = write("config.plist", c.body.front() == '<' ? plist(c.body) : c.body);
    EXPECT_EQ(manager.loadConfig(path), c.recognised);
    const auto config = manager.currentConfig();
    ASSERT_EQ(config != nullptr, c.recognised);
    if (config) {
      EXPECT_EQ(config->type(), c.type);
    }
  }
}

TEST_F(BootloaderFiles, AnUnsupportedChoiceKeepsTheCurrentFile) {
  const std::string clover = write("config.plist", plist("<dict><key>Boot</key><dict/></dict>"));
  ASSERT_TRUE(manager_.loadConfig(clover));
  EXPECT_FALSE(manager_.loadConfig(write("other.plist", plist("<dict/>"))));
  EXPECT_FALSE(manager_.loadConfig(dir_ / "missing.plist"));
  ASSERT_TRUE(manager_.currentConfig());
  EXPECT_EQ(manager_.currentConfig()->path(), clover);
  EXPECT_EQ(manager_.currentConfig()->image(), "QLUIClover");
}

TEST_F(BootloaderFiles, ReadsBinaryListsAndSavesThemAsXml) {
  Plist dict(plist_new_dict());
  plist_dict_set_item(dict.get(), "ACPI", plist_new_dict());
  const std::string path = write("config.plist", platform::toBinary(dict.get()));
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0)));
  EXPECT_EQ(test::slurp(path).rfind("<?xml", 0), 0u);
  EXPECT_EQ(platform::dictString(plist_dict_get_item(parsed(path).get(), "RtVariables"), "CsrActiveConfig"), "0x0");
}

TEST_F(BootloaderFiles, CloverStoresHexStringsUnderRtVariables) {
  const std::string path = write(
      "config.plist", plist("<dict><key>Boot</key><dict/><key>RtVariables</key><dict><key>CsrActiveConfig</key>"
                            "<string>0x67</string><key>ROM</key><string>UseMacAddr0</string></dict></dict>"));
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_TRUE(manager_.applyBooterConfig(booterWord(nvram_, 0x28)));
  const Plist saved = parsed(path);
  plist_t variables = plist_dict_get_item(saved.get(), "RtVariables");
  EXPECT_EQ(platform::dictString(variables, "CsrActiveConfig"), "0x67");
  EXPECT_EQ(platform::dictString(variables, "BooterConfig"), "0x28");
  EXPECT_EQ(platform::dictString(variables, "ROM"), "UseMacAddr0");

  // A file without RtVariables, or with something else under that key, gets a fresh dictionary.
  for (const std::string body : {"<dict><key>SMBIOS</key><dict/></dict>",
                                 "<dict><key>SMBIOS</key><dict/><key>RtVariables</key><string>x</string></dict>"}) {
    SCOPED_TRACE(body);
    const std::string other = write("other.plist", plist(body));
    ASSERT_TRUE(manager_.loadConfig(other));
    ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0x67)));
    const Plist result = parsed(other);
    plist_t added = plist_dict_get_item(result.get(), "RtVariables");
    ASSERT_TRUE(platform::isDictionary(added));
    EXPECT_EQ(plist_dict_get_size(added), 1u);
    EXPECT_EQ(platform::dictString(added, "CsrActiveConfig"), "0x67");
  }
}

TEST_F(BootloaderFiles, ChameleonStoresTheSIPWordAsAnIntegerAndRefusesTheBooterWord) {
  const std::string path = write(
      "org.chameleon.Boot.plist",
      plist("<dict><key>Timeout</key><string>5</string><key>CsrActiveConfig</key><string>103</string></dict>"));
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0x3)));
  EXPECT_EQ(platform::dictInteger(parsed(path).get(), "CsrActiveConfig"), 3);

  const std::string before = test::slurp(path);
  EXPECT_FALSE(manager_.applyBooterConfig(booterWord(nvram_, 0x28)));
  EXPECT_EQ(test::slurp(path), before);
}

TEST_F(BootloaderFiles, ApplyingNeedsAFileAndAValue) {
  EXPECT_FALSE(manager_.applySIPConfig(sipWord(nvram_, 0x67))) << "no file chosen";
  ASSERT_TRUE(manager_.loadConfig(write("config.plist", plist("<dict><key>Boot</key><dict/></dict>"))));
  QLSIPConfig absent(nvram_);
  EXPECT_FALSE(manager_.applySIPConfig(absent));
}

// Every real configuration keeps each other key and value through an apply and save.
class RealConfigs : public ::testing::TestWithParam<const char*> {};

TEST_P(RealConfigs, ApplyingBothWordsChangesOnlyThoseKeys) {
  const std::string fixture = test::realFixture(GetParam());
  TARNIX_REQUIRE_FIXTURE(fixture);
  test::TempDir dir;
  const std::string path = dir / "config.plist";
  std::filesystem::copy_file(fixture, path);
  const Plist original = parsed(fixture);
  ASSERT_TRUE(original);

  platform::FakeFirmwareVariables nvram;
  QLBootloaderConfigManager manager;
  ASSERT_TRUE(manager.loadConfig(path));
  const bool clover = manager.currentConfig()->type() == QLBootloaderConfigType::clover;
  EXPECT_EQ(clover, std::string(GetParam()).rfind("clover/", 0) == 0);

  ASSERT_TRUE(manager.applySIPConfig(sipWord(nvram, 0x67)));
  EXPECT_EQ(manager.applyBooterConfig(booterWord(nvram, 0x28)), clover);

  Plist expected(plist_copy(original.get()));
  if (clover) {
    plist_t variables = plist_dict_get_item(expected.get(), "RtVariables");
    ASSERT_TRUE(platform::isDictionary(variables));
    plist_dict_set_item(variables, "CsrActiveConfig", plist_new_string("0x67"));
    plist_dict_set_item(variables, "BooterConfig", plist_new_string("0x28"));
  } else {
    plist_dict_set_item(expected.get(), "CsrActiveConfig", plist_new_uint(103));
  }
  const Plist saved = parsed(path);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(test::sameTree(expected.get(), saved.get()));
  EXPECT_FALSE(test::sameTree(original.get(), saved.get()));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealConfigs,
                         ::testing::Values("clover/config-sample.plist", "clover/config-sample-OEM-SystemProductName.plist",
                                           "clover/config-sample-2019-09-03-7c0aa811e.plist",
                                           "chameleon/osx-kvm-org.chameleon.Boot.plist",
                                           "chameleon/lemu4-org.chameleon.Boot.plist",
                                           "chameleon/nbari-hackintosh-Extra-org.chameleon.Boot.plist",
                                           "chameleon/nbari-hackintosh-org.chameleon.Boot-70f51b5-mixed-indent.plist"));

class InterruptedSave : public BootloaderFiles {
 protected:
  void SetUp() override {
    path_ = write("config.plist", plist("<dict><key>Boot</key><dict><key>Timeout</key><integer>5</integer></dict></dict>"));
    ::chmod(path_.c_str(), 0600);
    original_ = test::slurp(path_);
    ASSERT_TRUE(manager_.loadConfig(path_));
    ASSERT_TRUE(manager_.currentConfig()->applySIPConfig(sipWord(nvram_, 0x67)));
  }
  std::string path_;
  std::string original_;
};

TEST_F(InterruptedSave, AFailureBeforeTheRenameLeavesTheFileAndNoLeftovers) {
  platform::AtomicReplaceHooks failing{[] { return EIO; }};
  EXPECT_FALSE(manager_.currentConfig()->save(failing));
  EXPECT_EQ(test::slurp(path_), original_);
  EXPECT_EQ(filesIn(dir_.path()), std::vector<std::string>{"config.plist"});
}

// The death test forks where it stands (gtest's default style), so the save dies on this
// fixture's own file; a re-executed child would make a folder of its own and never remove it.
TEST_F(InterruptedSave, AKilledProcessLeavesTheWholeOldFile) {
  platform::AtomicReplaceHooks killed{[]() -> int { _exit(9); }};
  EXPECT_EXIT(manager_.currentConfig()->save(killed), ::testing::ExitedWithCode(9), "");
  EXPECT_EQ(test::slurp(path_), original_);
}

TEST_F(InterruptedSave, ASaveReplacesTheFileWholeAndKeepsItsModeAndLinks) {
  const std::string link = dir_ / "link.plist";
  ASSERT_EQ(platform::makeSymlink("config.plist", link), 0);
  ASSERT_TRUE(manager_.loadConfig(link));
  ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0x67)));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  struct stat info{};
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(platform::dictString(plist_dict_get_item(parsed(path_).get(), "RtVariables"), "CsrActiveConfig"), "0x67");
}

TEST_F(InterruptedSave, AFolderThatCannotTakeTheFileFailsTheSave) {
  std::filesystem::remove_all(dir_.path());
  EXPECT_FALSE(manager_.applySIPConfig(sipWord(nvram_, 0x67)));
  if (::geteuid() == 0) return;  // root writes anywhere; the read-only case needs an ordinary user
  ASSERT_EQ(platform::makeDirectories(dir_.path()), 0);
  const std::string path = write("config.plist", original_);
  ASSERT_TRUE(manager_.loadConfig(path));
  ::chmod(dir_.path().c_str(), 0555);
  EXPECT_FALSE(manager_.applySIPConfig(sipWord(nvram_, 0x67)));
  ::chmod(dir_.path().c_str(), 0755);
  EXPECT_EQ(test::slurp(path), original_);
}

}  // namespace
}  // namespace tarnix
