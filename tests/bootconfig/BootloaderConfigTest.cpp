#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <regex>

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

constexpr const char* kOpenCoreGuid = "7C436110-AB2A-4BBB-A880-FE41995C9F82";
// The smallest OpenCore file, its dictionary left open for more keys.
const std::string kOpenCoreSections =
    "<dict><key>ACPI</key><dict/><key>Kernel</key><dict/><key>Misc</key><dict/><key>PlatformInfo</key><dict/>"
    "<key>UEFI</key><dict/>";

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
      {"<dict><key>SMBIOS</key><string>/Extra/smbios.plist</string><key>UseKernelCache</key><string>Yes</string></"
       "dict>",
       true, QLBootloaderConfigType::chameleon},
      {"<dict><key>SMBIOS</key><string>/Extra/smbios.plist</string></dict>", true, QLBootloaderConfigType::clover},
      {"<dict><key>Kernel Flags</key><string>-v</string><key>Boot</key><dict/></dict>", true,
       QLBootloaderConfigType::clover},
      // OpenCore has sections of Clover's names too; only its whole set makes it OpenCore.
      {kOpenCoreSections + "<key>NVRAM</key><dict><key>Add</key><dict/></dict></dict>", true,
       QLBootloaderConfigType::opencore},
      {"<dict><key>ACPI</key><dict/><key>Kernel</key><dict/><key>Misc</key><dict/><key>NVRAM</key><dict><key>Add</key>"
       "<dict/></dict><key>UEFI</key><dict/></dict>",
       true, QLBootloaderConfigType::clover},
      {"<dict><key>ACPI</key><dict/><key>Kernel</key><dict/><key>Misc</key><dict/><key>NVRAM</key><dict/>"
       "<key>PlatformInfo</key><dict/><key>UEFI</key><dict/></dict>",
       true, QLBootloaderConfigType::clover},
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
  const std::string path =
      write("config.plist", plist("<dict><key>Boot</key><dict/><key>RtVariables</key><dict><key>CsrActiveConfig</key>"
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
  const std::string path =
      write("org.chameleon.Boot.plist",
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

// The NVRAM section of an OpenCore file after applying SIP 0x67, by the section before.
struct OpenCoreCase {
  const char* situation;
  std::string nvram;  // the NVRAM section's dictionary
  bool applied;
  std::string expected;  // the NVRAM section afterwards (unchanged when not applied)
};

void PrintTo(const OpenCoreCase& c, std::ostream* os) { *os << c.situation; }

class OpenCoreFiles : public BootloaderFiles, public ::testing::WithParamInterface<OpenCoreCase> {};

TEST_P(OpenCoreFiles, TheSIPWordIsAddedAndListedForDeletion) {
  const OpenCoreCase& c = GetParam();
  const auto section = [](const std::string& nvram) {
    return plist(kOpenCoreSections + "<key>NVRAM</key>" + nvram + "<key>Zeta</key><string>last</string></dict>");
  };
  const std::string path = write("config.plist", section(c.nvram));
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_EQ(manager_.currentConfig()->type(), QLBootloaderConfigType::opencore);
  const Plist before(plist_copy(manager_.currentConfig()->data()));
  EXPECT_EQ(manager_.applySIPConfig(sipWord(nvram_, 0x67)), c.applied);
  const Plist expected = platform::parseDictionary(section(c.applied ? c.expected : c.nvram));
  ASSERT_TRUE(expected);
  EXPECT_TRUE(test::sameTree(expected.get(), manager_.currentConfig()->data(), /*ordered=*/true));
  if (!c.applied) {
    EXPECT_TRUE(test::sameTree(before.get(), manager_.currentConfig()->data(), true));
  }
}

const std::string kG = std::string("<key>") + kOpenCoreGuid + "</key>";
INSTANTIATE_TEST_SUITE_P(
    Situations, OpenCoreFiles,
    ::testing::Values(
        OpenCoreCase{"nothing of the GUID", "<dict><key>Add</key><dict/></dict>", true,
                     "<dict><key>Add</key><dict>" + kG +
                         "<dict><key>csr-active-config</key><data>ZwAAAA==</data>"
                         "</dict></dict><key>Delete</key><dict>" +
                         kG +
                         "<array><string>csr-active-config</string>"
                         "</array></dict></dict>"},
        OpenCoreCase{
            "already listed, other values kept in order",
            "<dict><key>Add</key><dict>" + kG +
                "<dict><key>boot-args</key><string>-v</string>"
                "<key>csr-active-config</key><data>AAAAAA==</data><key>z</key><integer>1</integer></dict></dict>"
                "<key>Delete</key><dict>" +
                kG +
                "<array><string>csr-active-config</string></array></dict>"
                "<key>WriteFlash</key><true/></dict>",
            true,
            "<dict><key>Add</key><dict>" + kG +
                "<dict><key>boot-args</key><string>-v</string>"
                "<key>csr-active-config</key><data>ZwAAAA==</data><key>z</key><integer>1</integer></dict></dict>"
                "<key>Delete</key><dict>" +
                kG +
                "<array><string>csr-active-config</string></array></dict>"
                "<key>WriteFlash</key><true/></dict>"},
        OpenCoreCase{"the GUID in lower case is the same GUID",
                     "<dict><key>Add</key><dict><key>7c436110-ab2a-4bbb-a880-fe41995c9f82</key><dict/></dict>"
                     "<key>Delete</key><dict><key>7c436110-ab2a-4bbb-a880-fe41995c9f82</key><array>"
                     "<string>boot-args</string></array></dict></dict>",
                     true,
                     "<dict><key>Add</key><dict><key>7c436110-ab2a-4bbb-a880-fe41995c9f82</key><dict>"
                     "<key>csr-active-config</key><data>ZwAAAA==</data></dict></dict>"
                     "<key>Delete</key><dict><key>7c436110-ab2a-4bbb-a880-fe41995c9f82</key><array>"
                     "<string>boot-args</string><string>csr-active-config</string></array></dict></dict>"},
        OpenCoreCase{"a Delete entry that is not a list is left alone",
                     "<dict><key>Add</key><dict/><key>Delete</key><dict>" + kG + "<string>x</string></dict></dict>",
                     false, ""},
        OpenCoreCase{"an Add entry that is not a dictionary is left alone",
                     "<dict><key>Add</key><dict>" + kG + "<array/></dict></dict>", false, ""}),
    [](const auto& row) {
      std::string name = row.param.situation;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST_F(BootloaderFiles, OpenCoreTakesTheBooterWordInTwoBytesAndRefusesWiderValues) {
  const std::string path = write("config.plist", plist(kOpenCoreSections + "<key>NVRAM</key><dict><key>Add</key>"
                                                                           "<dict/></dict></dict>"));
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_TRUE(manager_.applyBooterConfig(booterWord(nvram_, 0x28)));
  EXPECT_EQ(manager_.currentConfig()->booterWordOnDisk(), (QLBootloaderWord{QLBootloaderWord::State::value, 0x28}));
  const std::string saved = test::slurp(path);
  EXPECT_NE(saved.find("KAA="), std::string::npos) << saved;  // 28 00
  QLRootlessConfig wide;
  wide.setDecimalValue(0x10000);
  EXPECT_FALSE(manager_.applyBooterConfig(wide));
  wide.setDecimalValue(-1);
  EXPECT_FALSE(manager_.applySIPConfig(wide));
  EXPECT_EQ(test::slurp(path), saved);
}

// The word a file holds, as the panes show it beside the NVRAM one.
TEST_F(BootloaderFiles, ReadsEachBootloadersOwnWord) {
  using State = QLBootloaderWord::State;
  struct Case {
    std::string fixture;  // a real file, or the body of one written here
    QLBootloaderWord sip;
    QLBootloaderWord booter;
  };
  const std::string oc = kOpenCoreSections + "<key>NVRAM</key><dict><key>Add</key><dict>" + kG + "<dict>";
  const Case cases[] = {
      {"real:clover/config-sample.plist", {State::value, 0xA87}, {State::value, 0x68}},
      {"real:clover/config-sample-OEM-SystemProductName.plist", {State::value, 0x3E7}, {State::value, 0x28}},
      {"real:chameleon/osx-kvm-org.chameleon.Boot.plist", {State::value, 103}, {State::notSupported}},
      {"real:chameleon/lemu4-org.chameleon.Boot.plist", {State::notSet}, {State::notSupported}},
      {"real:opencore/Sample.plist", {State::value, 0}, {State::notSet}},
      {"<dict><key>Boot</key><dict/><key>RtVariables</key><dict><key>CsrActiveConfig</key><integer>103</integer>"
       "<key>BooterConfig</key><string>0xzz</string></dict></dict>",
       {State::value, 103},
       {State::unreadable}},
      {"<dict><key>Boot</key><dict/><key>RtVariables</key><string>x</string></dict>", {State::notSet}, {State::notSet}},
      {"<dict><key>Timeout</key><string>5</string><key>CsrActiveConfig</key><string>-3</string></dict>",
       {State::unreadable},
       {State::notSupported}},
      // Data shorter than the word is zero-extended; longer than a variable can be is refused.
      {oc + "<key>csr-active-config</key><data>Zw==</data><key>bootercfg</key><data>KAAAAAAAAAAAAAA=</data>"
            "</dict></dict></dict></dict>",
       {State::value, 0x67},
       {State::unreadable}},
      {oc + "<key>csr-active-config</key><data></data><key>bootercfg</key><true/></dict></dict></dict></dict>",
       {State::unreadable},
       {State::unreadable}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    std::string path;
    if (c.fixture.rfind("real:", 0) == 0) {
      path = test::realFixture(c.fixture.substr(5));
      if (!std::filesystem::exists(path)) continue;
    } else {
      path = write("config.plist", plist(c.fixture));
    }
    QLBootloaderConfigManager manager;
    ASSERT_TRUE(manager.loadConfig(path));
    EXPECT_EQ(manager.currentConfig()->sipWordOnDisk(), c.sip);
    EXPECT_EQ(manager.currentConfig()->booterWordOnDisk(), c.booter);
  }
  // A file gone since it was chosen cannot be read.
  const std::string gone = write("gone.plist", plist("<dict><key>Boot</key><dict/></dict>"));
  ASSERT_TRUE(manager_.loadConfig(gone));
  std::filesystem::remove(gone);
  EXPECT_EQ(manager_.currentConfig()->sipWordOnDisk().state, State::unreadable);
}

// Before each save the file as it was is kept beside it, under a dated name.
TEST_F(BootloaderFiles, EachSaveKeepsThePreviousFileBesideIt) {
  const std::string original = plist("<dict><key>Timeout</key><string>5</string></dict>");
  const std::string path = write("org.chameleon.Boot.plist", original);
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(manager_.loadConfig(path));
  ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0x3)));
  const std::string first = manager_.currentConfig()->keptCopy();
  const std::string afterFirst = test::slurp(path);
  ASSERT_TRUE(manager_.applySIPConfig(sipWord(nvram_, 0x7)));
  const std::string second = manager_.currentConfig()->keptCopy();

  const std::regex dated(R"(org\.chameleon\.Boot-\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d(-2)?\.plist)");
  for (const std::string& kept : {first, second}) {
    SCOPED_TRACE(kept);
    EXPECT_EQ(std::filesystem::path(kept).parent_path(), dir_.path());
    EXPECT_TRUE(std::regex_match(std::filesystem::path(kept).filename().string(), dated));
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
  EXPECT_NE(first, second) << "a copy never replaces another";
  EXPECT_EQ(test::slurp(first), original);
  EXPECT_EQ(test::slurp(second), afterFirst);
  EXPECT_EQ(filesIn(dir_.path()).size(), 3u);
}

// Every real configuration is recognised as the bootloader whose folder it is in, and keeps
// every other key, value, type and order through an apply and save.
class RealConfigs : public ::testing::TestWithParam<const char*> {};

TEST_P(RealConfigs, ApplyingBothWordsChangesOnlyThoseKeys) {
  const std::string fixture = test::realFixture(GetParam());
  TARNIX_REQUIRE_FIXTURE(fixture);
  test::TempDir dir;
  const std::string path = dir / "config.plist";
  std::filesystem::copy_file(fixture, path);
  const Plist original = parsed(fixture);
  ASSERT_TRUE(original);
  const std::string folder = std::string(GetParam()).substr(0, std::string(GetParam()).find('/'));
  const QLBootloaderConfigType expectedType = folder == "clover"      ? QLBootloaderConfigType::clover
                                              : folder == "chameleon" ? QLBootloaderConfigType::chameleon
                                                                      : QLBootloaderConfigType::opencore;

  platform::FakeFirmwareVariables nvram;
  QLBootloaderConfigManager manager;
  ASSERT_TRUE(manager.loadConfig(path));
  ASSERT_EQ(manager.currentConfig()->type(), expectedType);

  ASSERT_TRUE(manager.applySIPConfig(sipWord(nvram, 0x67)));
  EXPECT_EQ(manager.applyBooterConfig(booterWord(nvram, 0x28)), expectedType != QLBootloaderConfigType::chameleon);

  Plist expected(plist_copy(original.get()));
  switch (expectedType) {
    case QLBootloaderConfigType::clover: {
      plist_t variables = plist_dict_get_item(expected.get(), "RtVariables");
      ASSERT_TRUE(platform::isDictionary(variables));
      plist_dict_set_item(variables, "CsrActiveConfig", plist_new_string("0x67"));
      plist_dict_set_item(variables, "BooterConfig", plist_new_string("0x28"));
      break;
    }
    case QLBootloaderConfigType::chameleon:
      plist_dict_set_item(expected.get(), "CsrActiveConfig", plist_new_uint(103));
      break;
    default: {
      plist_t nvramSection = plist_dict_get_item(expected.get(), "NVRAM");
      plist_t added = plist_dict_get_item(plist_dict_get_item(nvramSection, "Add"), kOpenCoreGuid);
      plist_t deleted = plist_dict_get_item(plist_dict_get_item(nvramSection, "Delete"), kOpenCoreGuid);
      ASSERT_TRUE(added && deleted);
      // The sample holds csr-active-config already (kept in its place) but no bootercfg, and
      // lists neither under Delete.
      plist_dict_set_item(added, "csr-active-config", plist_new_data("\x67\0\0\0", 4));
      plist_dict_set_item(added, "bootercfg", plist_new_data("\x28\0", 2));
      plist_array_append_item(deleted, plist_new_string("csr-active-config"));
      plist_array_append_item(deleted, plist_new_string("bootercfg"));
      EXPECT_NE(test::slurp(path).find("ZwAAAA=="), std::string::npos);
    }
  }
  const Plist saved = parsed(path);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(test::sameTree(expected.get(), saved.get(), /*ordered=*/true));
  EXPECT_FALSE(test::sameTree(original.get(), saved.get()));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealConfigs,
                         ::testing::Values("clover/config-sample.plist",
                                           "clover/config-sample-OEM-SystemProductName.plist",
                                           "clover/config-sample-2019-09-03-7c0aa811e.plist",
                                           "chameleon/osx-kvm-org.chameleon.Boot.plist",
                                           "chameleon/lemu4-org.chameleon.Boot.plist",
                                           "chameleon/nbari-hackintosh-Extra-org.chameleon.Boot.plist",
                                           "chameleon/nbari-hackintosh-org.chameleon.Boot-70f51b5-mixed-indent.plist",
                                           "opencore/Sample.plist"));

class InterruptedSave : public BootloaderFiles {
 protected:
  void SetUp() override {
    path_ =
        write("config.plist", plist("<dict><key>Boot</key><dict><key>Timeout</key><integer>5</integer></dict></dict>"));
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
  struct stat info {};
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
