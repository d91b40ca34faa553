// The words against the real libefivar, pointed at a folder shaped like efivarfs: each file is
// NAME-GUID holding a 4-byte attribute word, then the value.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "bootconfig/QLBooterConfig.h"
#include "bootconfig/QLSIPConfig.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace tarnix {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string kSuffix = "-7c436110-ab2a-4bbb-a880-fe41995c9f82";

class Efivarfs : public ::testing::Test {
 protected:
  void SetUp() override {
    // Never let a case reach the machine's real firmware variables.
    const char* path = std::getenv("EFIVARFS_PATH");
    if (!path || std::string(path) != TARNIX_TEST_EFIVARFS)
      GTEST_SKIP() << "run through ctest, which sets EFIVARFS_PATH=" << TARNIX_TEST_EFIVARFS;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) std::filesystem::remove_all(entry.path());
  }

  static std::string folder() { return TARNIX_TEST_EFIVARFS; }
  static std::string file(const std::string& name) { return folder() + name + kSuffix; }
  static void put(const std::string& name, const Bytes& attributesAndValue) {
    ASSERT_EQ(platform::writeFile(file(name), std::string(attributesAndValue.begin(), attributesAndValue.end())), 0);
  }
  static Bytes stored(const std::string& name) {
    const std::string data = test::slurp(file(name));
    return Bytes(data.begin(), data.end());
  }
};

struct ReadCase {
  std::string name;
  Bytes value;  // after the attribute word
  std::optional<std::int64_t> expected;
};

TEST_F(Efivarfs, ReadsEachWordByteForByteAndMasksItToNineFlags) {
  const ReadCase cases[] = {
      {"csr-active-config", {0x67, 0x00, 0x00, 0x00}, 0x67},
      {"csr-active-config", {0xFF, 0x03, 0x00, 0x00}, 0x1ff},
      {"csr-active-config", {0x67}, 0x67},  // shorter than its width: zero-extended
      {"csr-active-config", {0x77, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},  // over 10 bytes
      {"csr-active-config", {}, std::nullopt},                                             // attributes only, no value
      {"bootercfg", {0x28, 0x00}, 0x28},
      {"bootercfg", {0x28, 0x01, 0xAA, 0xBB}, 0x128},  // only the first two bytes count
      {"bootercfg", {0x05}, 0x05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + " of " + std::to_string(c.value.size()) + " bytes");
    Bytes raw{0x07, 0x00, 0x00, 0x00};
    raw.insert(raw.end(), c.value.begin(), c.value.end());
    put(c.name, raw);
    if (c.name == "bootercfg") {
      EXPECT_EQ(QLBooterConfig().decimalValue(), c.expected);
    } else {
      EXPECT_EQ(QLSIPConfig().decimalValue(), c.expected);
    }
    std::filesystem::remove(file(c.name));
  }
}

TEST_F(Efivarfs, MissingVariablesAreAbsentWithEveryFlagClear) {
  QLSIPConfig sip;
  QLBooterConfig booter;
  EXPECT_FALSE(sip.decimalValue());
  EXPECT_FALSE(booter.decimalValue());
  for (int bit = 0; bit < 9; ++bit) EXPECT_FALSE(sip.flag(bit) || booter.flag(bit));
}

TEST_F(Efivarfs, WritesNewVariablesAfterTheAttributeWordAndKeepsExistingAttributes) {
  QLSIPConfig sip;
  for (int bit = 0; bit < 9; ++bit) sip.setFlag(bit, true);
  ASSERT_TRUE(sip.writeToNVRAM());
  EXPECT_EQ(stored("csr-active-config"), (Bytes{0x07, 0, 0, 0, 0xFF, 0x01, 0x00, 0x00}));
  EXPECT_EQ(QLSIPConfig().decimalValue(), 0x1ff);

  put("bootercfg", {0x06, 0, 0, 0, 0x00, 0x00});  // boot service and runtime only
  QLBooterConfig booter;
  booter.setB3EnableCSRActiveConfig(true);
  booter.setB5EnableCSRBoot(true);
  ASSERT_TRUE(booter.writeToNVRAM());
  EXPECT_EQ(stored("bootercfg"), (Bytes{0x06, 0, 0, 0, 0x28, 0x00}));
}

std::optional<int> runTool(const std::vector<std::string>& arguments) {
  return platform::linuxProcessRunner().run(TARNIX_NVRAM_TOOL, arguments);
}

TEST_F(Efivarfs, NvramToolWritesTheHelpersBooterArgument) {
  EXPECT_EQ(runTool({"7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=%28%00"}), 0);
  EXPECT_EQ(stored("bootercfg"), (Bytes{0x07, 0, 0, 0, 0x28, 0x00}));
  EXPECT_EQ(QLBooterConfig().decimalValue(), 0x28);

  const auto printed = platform::captureOutput(TARNIX_NVRAM_TOOL, {"-p"});
  ASSERT_TRUE(printed);
  EXPECT_EQ(*printed, "bootercfg\t(%00\n");
}

TEST_F(Efivarfs, NvramToolRefusesNamesThatLeaveTheVariablesFolder) {
  EXPECT_EQ(runTool({"../escaped=%01"}), 1);
  EXPECT_EQ(runTool({"7C436110-AB2A-4BBB-A880-FE41995C9F82:a/b=%01"}), 1);
  EXPECT_FALSE(
      platform::pathExists(std::filesystem::path(folder()).parent_path().parent_path() / ("escaped" + kSuffix)));
  EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

}  // namespace
}  // namespace tarnix
