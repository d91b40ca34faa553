#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "BrambleRunner.h"
#include "TestSupport.h"
#include "cli/Report.h"
#include "engine/BomWriter.h"

namespace tarnix {
namespace {

using test::bramble;
using test::Outcome;
using test::TempDir;

std::uint32_t modeOf(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The distinct "File:" paths of a text report and its number of results.
std::pair<std::size_t, std::size_t> tally(const std::string& report) {
  std::istringstream lines(report);
  std::set<std::string> files;
  std::size_t results = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("   File: ", 0) == 0) {
      files.insert(line);
      ++results;
    }
  return {files.size(), results};
}

std::string lastLine(const std::string& text) {
  const auto end = text.find_last_not_of('\n');
  return end == std::string::npos ? text : text.substr(text.rfind('\n', end) + 1);
}

TEST(Bramble, VerifyRepairVerifyOnTheSampleVolume) {
  TempDir dir;
  const std::string volume = dir / "Macintosh HD";
  const Outcome made = bramble("make-sample-volume '" + volume + "'");
  ASSERT_EQ(made.status, 0) << made.err;

  const Outcome before = bramble("verify '" + volume + "'");
  EXPECT_EQ(before.status, 1) << before.err;
  EXPECT_NE(before.out.find(" Status: Verified"), std::string::npos);
  EXPECT_NE(before.out.find("    New: N/A"), std::string::npos);
  // The receipt outside the repair groups prescribes 777 for login; it must be ignored.
  EXPECT_EQ(before.out.find("Correct: 777\n"), std::string::npos);
  EXPECT_TRUE(before.err.empty()) << before.err;
  const auto [items, attributes] = tally(before.out);
  EXPECT_LT(items, attributes);  // some items differ in more than one attribute
  EXPECT_NE(
      before.out.find(std::to_string(items) + " items with " + std::to_string(attributes) + " mismatched attributes."),
      std::string::npos)
      << lastLine(before.out);

  const Outcome repaired = bramble("repair --threads 2 '" + volume + "'");
  EXPECT_EQ(repaired.status, 0) << repaired.out << repaired.err;
  EXPECT_EQ(repaired.out.find("Status: Failed"), std::string::npos);
  const auto [fixedItems, changes] = tally(repaired.out);
  EXPECT_NE(repaired.out.find(std::to_string(fixedItems) + " items with " + std::to_string(changes) +
                              " attribute changes, 0 failed."),
            std::string::npos)
      << lastLine(repaired.out);

  const Outcome after = bramble("verify '" + volume + "'");
  EXPECT_EQ(after.status, 0) << after.out;
  EXPECT_NE(after.out.find(" 0 items with 0 mismatched attributes."), std::string::npos) << after.out;
  for (const auto& [path, mode] : {std::pair<const char*, std::uint32_t>{"/bin/ps", 04555},
                                   {"/usr/bin/sudo", 04511},
                                   {"/usr/bin/login", 04555},
                                   {"/usr/bin/wall", 02555},
                                   {"/private/tmp", 01777}})
    EXPECT_EQ(modeOf(volume + path), mode) << path;
}

TEST(Bramble, JsonAndPackageFilter) {
  TempDir dir;
  ASSERT_EQ(bramble("make-sample-volume " + dir / "v").status, 0);
  // A relative volume is reported with absolute paths.
  const Outcome all = bramble("verify --json v", dir.path());
  EXPECT_NE(all.out.find("\"path\":\"" + dir / "v/"), std::string::npos) << all.out.substr(0, 300);
  EXPECT_EQ(all.out.find("\"path\":\"v/"), std::string::npos);
  const Outcome x11 = bramble("verify --json --package com.apple.pkg.X11User " + dir / "v");
  EXPECT_EQ(all.status, 1);
  std::istringstream lines(x11.out);
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_EQ(line.front(), '{');
    EXPECT_EQ(line.back(), '}');
    EXPECT_NE(line.find("\"status\":\"Verified\""), std::string::npos);
    EXPECT_NE(line.find("\"new\":null"), std::string::npos);
    EXPECT_NE(line.find("/usr/"), std::string::npos) << line;
  }
  EXPECT_GT(count, 0u);
  EXPECT_LT(x11.out.size(), all.out.size());
  EXPECT_EQ(all.out.find("Verified /"), std::string::npos);  // no text summary in JSON mode
}

TEST(Bramble, JsonStringsStayValid) {
  std::string out;
  appendJsonString(out, std::string("a\"b\\c\n\x01 \xC3\xBC \xFF", 12));
  EXPECT_EQ(out, "\"a\\\"b\\\\c\\u000a\\u0001 \xC3\xBC \\u00ff\"");
}

TEST(Bramble, ListsRealBoms) {
  for (const char* name : {"dotnet-packaging-Sample.Bom", "macOS-Tahoe-InstallAssistant.Bom"}) {
    const std::string bom = test::realFixture(std::string("bom/") + name);
    TARNIX_REQUIRE_FIXTURE(bom);
    std::istringstream listing(test::slurp(test::realFixture(std::string("bom/listings/") + name + ".lsbom.txt")));
    std::string expected;
    for (std::string line; std::getline(listing, line);) {
      std::size_t tabs = 0, cut = 0;
      while (cut < line.size() && !(line[cut] == '\t' && ++tabs == 3)) ++cut;
      expected += line.substr(0, cut) + "\n";
    }
    const Outcome run = bramble("list-bom '" + bom + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected) << name;
  }
}

TEST(Bramble, RefusesBadInputWithOneLine) {
  TempDir dir;
  BomWriter writer;
  writer.addPath(".", 040755, 0, 0);
  writer.addPath("./a", 0100644, 0, 0);
  const std::string bom = writer.serialize();
  std::ofstream(dir / "truncated.bom", std::ios::binary) << bom.substr(0, bom.size() / 2);
  std::ofstream(dir / "text.bom") << "hello";

  // Usage errors add a hint to the help; a refused input is one line and nothing else.
  enum Lines { oneLine, withHint };
  const std::tuple<std::string, std::string, Lines> cases[] = {
      {"frobnicate", "unknown command 'frobnicate'", withHint},
      {"verify --threads 0 /", "--threads needs a positive whole number", withHint},
      {"verify --threads", "--threads needs a value", withHint},
      {"repair --bogus /", "unknown option '--bogus'", withHint},
      {"verify " + dir.path(), "is not a macOS volume", oneLine},
      {"repair .", "is not a macOS volume", oneLine},
      {"verify " + dir / "missing", "is not a folder", oneLine},
      {"list-bom " + dir / "truncated.bom", "is not a readable BOM store", oneLine},
      {"list-bom " + dir / "text.bom", "is not a readable BOM store", oneLine},
      {"list-bom", "list-bom takes one FILE", withHint},
      {"make-sample-volume", "needs a DIR", withHint},
      {"make-sample-volume " + dir.path(), "is not empty", oneLine},
  };
  for (const auto& [arguments, message, lines] : cases) {
    const Outcome run = bramble(arguments, dir.path());
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err.rfind("bramble: ", 0), 0u) << arguments << ": " << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << arguments << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), lines == oneLine ? 1 : 2)
        << arguments << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << arguments;
  }
  const Outcome bare = bramble("");
  EXPECT_EQ(bare.status, 2);
  EXPECT_NE(bare.err.find("Usage: bramble COMMAND"), std::string::npos);
}

TEST(Bramble, HelpAndVersion) {
  const Outcome version = bramble("--internal-version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string(TARNIX_PROJECT_VERSION) + "\n");
  for (const char* command :
       {"--help", "verify --help", "repair --help", "list-bom --help", "make-sample-volume --help", "volumes --help"}) {
    const Outcome help = bramble(command);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("Usage: bramble"), std::string::npos) << command;
  }
  EXPECT_EQ(bramble("volumes").status, 0);
}

}  // namespace
}  // namespace tarnix
