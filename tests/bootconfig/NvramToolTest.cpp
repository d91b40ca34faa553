#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "bootconfig/nvram/NvramTool.h"
#include "platform/FakeFirmwareVariables.h"

namespace tarnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun run(platform::FirmwareVariables& variables, std::vector<std::string> arguments) {
  std::ostringstream out, err;
  const int status = nvram::run(arguments, variables, out, err);
  return {status, out.str(), err.str()};
}

TEST(NvramTool, SetsValuesGivenAsTextAndPercentBytes) {
  const struct {
    std::string argument;
    std::string guid;
    std::string name;
    Bytes value;
  } cases[] = {
      {"7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=%28%00",
       std::string(platform::kAppleBootVariablesGuid),
       "bootercfg",
       {0x28, 0x00}},
      {"7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=%ab%03",
       std::string(platform::kAppleBootVariablesGuid),
       "bootercfg",
       {0xab, 0x03}},
      {"boot-args=-v keepsyms=1",
       std::string(platform::kAppleBootVariablesGuid),
       "boot-args",
       {'-', 'v', ' ', 'k', 'e', 'e', 'p', 's', 'y', 'm', 's', '=', '1'}},
      {"8be4df61-93ca-11d2-aa0d-00e098032b8c:Lang=en%FF",
       "8be4df61-93ca-11d2-aa0d-00e098032b8c",
       "Lang",
       {'e', 'n', 0xFF}},
      {"empty=", std::string(platform::kAppleBootVariablesGuid), "empty", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    platform::FakeFirmwareVariables variables;
    const ToolRun result = run(variables, {c.argument});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(variables.read(c.guid, c.name), c.value);
  }
}

TEST(NvramTool, RefusesMalformedArgumentsWithoutWriting) {
  for (const std::string argument : {"bootercfg=%2", "bootercfg=%zz00", "=%01", "a/b=%01", "..=%01", "-x"}) {
    SCOPED_TRACE(argument);
    platform::FakeFirmwareVariables variables;
    const ToolRun result = run(variables, {argument});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(result.err.empty());
    EXPECT_TRUE(variables.list().empty());
  }
  platform::FakeFirmwareVariables variables;
  EXPECT_EQ(run(variables, {}).status, 1);
}

TEST(NvramTool, PrintsVariablesWithNonTextBytesPercentEncoded) {
  platform::FakeFirmwareVariables variables;
  variables.set("csr-active-config", {0x67, 0x00, 0x00, 0x00});
  variables.set("boot-args", {'-', 'v', '%'});
  variables.set("Lang", {'e', 'n'}, "8be4df61-93ca-11d2-aa0d-00e098032b8c");
  const ToolRun all = run(variables, {"-p"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out,
            "boot-args\t-v%25\ncsr-active-config\tg%00%00%00\n8BE4DF61-93CA-11D2-AA0D-00E098032B8C:Lang\ten\n");

  EXPECT_EQ(run(variables, {"csr-active-config"}).out, "csr-active-config\tg%00%00%00\n");
  const ToolRun missing = run(variables, {"bootercfg"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.out.empty());
}

TEST(NvramTool, DeletesAndReportsFailures) {
  platform::FakeFirmwareVariables variables;
  variables.set("bootercfg", {0x28, 0x00});
  EXPECT_EQ(run(variables, {"-d", "bootercfg"}).status, 0);
  EXPECT_FALSE(variables.read(platform::kAppleBootVariablesGuid, "bootercfg"));
  EXPECT_EQ(run(variables, {"-d", "bootercfg"}).status, 1);

  variables.failWrites(EACCES);
  EXPECT_EQ(run(variables, {"bootercfg=%28%00"}).status, 1);
  variables.setSupported(false);
  EXPECT_EQ(run(variables, {"-p"}).status, 1);
}

}  // namespace
}  // namespace tarnix
