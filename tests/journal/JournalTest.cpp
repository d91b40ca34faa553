#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"
#include "journal/QLJournal.h"
#include "journal/QLJournalJson.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

using test::TempDir;

QLJournalPlace placeIn(const TempDir& dir) { return {dir.path(), "/journal", dir / "journal", true}; }

QLJournalHeader header(const char* operation = "install-kexts") {
  return {{}, {}, operation, "/mnt/mac", "test", 0, {}};
}

// One change of every kind, with names that are hard to write down: a line feed, a byte that is
// not UTF-8, a quote.
std::vector<QLJournalChange> everyKind() {
  return {
      {QLJournalKind::owner, "/usr/bin/su\"do", std::int64_t{501}, std::int64_t{0}, {}, {}},
      {QLJournalKind::group, std::string("/odd\nname\xff"), std::int64_t{20}, std::int64_t{4294967295}, {}, {}},
      {QLJournalKind::mode, "/usr/bin/sudo", std::string("511"), std::string("4511"), {}, {}},
      {QLJournalKind::kext, "/Library/Extensions/FakeSMC.kext", std::string(32, 'a'), std::string(32, 'b'),
       "1-FakeSMC.kext", "/root/backups/20261210_094500/FakeSMC.kext"},
      {QLJournalKind::kext, "/Library/Extensions/Lilu.kext", {}, std::string(32, 'c'), {}, {}},
      {QLJournalKind::file,
       "/boot/efi/EFI/CLOVER/config.plist",
       std::string(32, 'd'),
       std::string(32, 'e'),
       "/boot/efi/EFI/CLOVER/config-2026_12_10_09_45_00.plist",
       {}},
      {QLJournalKind::nvram,
       "7c436110-ab2a-4bbb-a880-fe41995c9f82:csr-active-config",
       {},
       std::string("67000000"),
       {},
       {}},
      {QLJournalKind::backup, "/Library/Extensions/FakeSMC.kext", {}, {}, {}, "/home/u/Kexts/x/FakeSMC.kext"},
  };
}

// A run of one change of every kind, ended; its id.
std::string writeEveryKind(const TempDir& dir) {
  QLJournalRun run({placeIn(dir)}, header());
  for (const auto& change : everyKind()) EXPECT_TRUE(run.record(change));
  return run.id();
}

void expectSame(const QLJournalChange& read, const QLJournalChange& written) {
  EXPECT_EQ(read.kind, written.kind);
  EXPECT_EQ(read.path, written.path);
  EXPECT_EQ(read.before, written.before) << written.path;
  EXPECT_EQ(read.after, written.after) << written.path;
  EXPECT_EQ(read.kept, written.kept);
  EXPECT_EQ(read.backup, written.backup);
}

TEST(Journal, EveryKindComesBackByteForByte) {
  TempDir dir;
  QLJournalRun run({placeIn(dir)}, header());
  const auto changes = everyKind();
  for (const auto& change : changes) ASSERT_TRUE(run.record(change)) << run.error();
  run.noteFailed();
  run.finish();
  ASSERT_EQ(run.files(), std::vector<std::string>{dir / ("journal/" + run.id() + ".jsonl")});

  std::string why;
  const auto read = readJournalRun(placeIn(dir), run.id(), why);
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(read->summary.header.operation, "install-kexts");
  EXPECT_EQ(read->summary.header.target, "/mnt/mac");
  ASSERT_TRUE(read->summary.end);
  EXPECT_EQ(read->summary.end->changes, changes.size());
  EXPECT_EQ(read->summary.end->failed, 1u);
  EXPECT_TRUE(read->summary.damage.empty());
  ASSERT_EQ(read->records.size(), changes.size());
  for (std::size_t i = 0; i < changes.size(); ++i) {
    EXPECT_EQ(read->records[i].seq, i + 1);
    expectSame(read->records[i].change, changes[i]);
  }
  // The name that is not UTF-8 is shown escaped and kept exactly beside it.
  EXPECT_NE(test::slurp(read->summary.file).find("\"path\":\"/odd\\u000aname\\u00ff\",\"pathHex\":\""),
            std::string::npos);
}

TEST(Journal, ARunThatChangesNothingLeavesNothing) {
  TempDir dir;
  {
    QLJournalRun run({placeIn(dir)}, header());
    EXPECT_TRUE(run.files().empty());
  }
  EXPECT_FALSE(platform::pathExists(dir / "journal"));
  EXPECT_TRUE(listJournalRuns(placeIn(dir)).empty());
}

TEST(Journal, ARecordThatCannotBeWrittenIsRefused) {
  TempDir dir;
  platform::writeFile(dir / "journal", "a file where the folder should be");
  QLJournalRun run({placeIn(dir)}, header());
  EXPECT_FALSE(run.record(everyKind().front()));
  EXPECT_NE(run.error().find("cannot write the journal in " + dir / "journal"), std::string::npos) << run.error();
}

// A kill can stop a run after any line, and the line being written when it came is the last one.
TEST(Journal, ARunCutShortAnywhereReadsBackWhatItCovers) {
  TempDir dir;
  const std::string id = writeEveryKind(dir);
  const std::string file = dir / ("journal/" + id + ".jsonl");
  const std::string whole = test::slurp(file);
  std::vector<std::size_t> lineEnds;
  for (std::size_t i = 0; i < whole.size(); ++i)
    if (whole[i] == '\n') lineEnds.push_back(i + 1);
  for (std::size_t cut = lineEnds.front(); cut <= whole.size(); ++cut) {
    ASSERT_EQ(platform::writeFile(file, whole.substr(0, cut)), 0);
    std::string why;
    const auto read = readJournalRun(placeIn(dir), id, why);
    ASSERT_TRUE(read) << cut << ": " << why;
    EXPECT_TRUE(read->summary.damage.empty()) << cut << ": " << read->summary.damage;
    // Every whole record line before the cut; a line missing only its line feed counts too.
    std::size_t whole_lines = 0;
    for (std::size_t k = 1; k < lineEnds.size(); ++k)
      if (lineEnds[k] <= cut + 1) ++whole_lines;
    EXPECT_EQ(read->records.size(), std::min(whole_lines, everyKind().size())) << "cut at " << cut;
  }
}

TEST(Journal, ForgedLinesAreRefusedOneByOne) {
  const std::string run = "\"run\":\"20261210T094500Z-3f9a1c\",\"time\":\"2026-12-10T09:45:00.000000Z\"";
  const auto record = [&](const std::string& rest) {
    return "{" + run + ",\"seq\":1,\"operation\":\"x\"," + rest + "}";
  };
  const std::pair<const char*, std::string> cases[] = {
      {"not JSON", "hello"},
      {"a list", "[1,2]"},
      {"nested object", record("\"kind\":\"owner\",\"path\":\"/a\",\"before\":{\"a\":1},\"after\":0")},
      {"deep nesting",
       record("\"kind\":\"owner\",\"path\":\"/a\",\"before\":" + std::string(5000, '[') + ",\"after\":0")},
      {"unknown kind", record("\"kind\":\"chmod\",\"path\":\"/a\",\"before\":1,\"after\":0")},
      {"relative path", record("\"kind\":\"owner\",\"path\":\"a/b\",\"before\":1,\"after\":0")},
      {"path with ..", record("\"kind\":\"owner\",\"path\":\"/a/../../etc\",\"before\":1,\"after\":0")},
      {"id too large", record("\"kind\":\"owner\",\"path\":\"/a\",\"before\":4294967296,\"after\":0")},
      {"negative id", record("\"kind\":\"group\",\"path\":\"/a\",\"before\":-1,\"after\":0")},
      {"id as text", record("\"kind\":\"owner\",\"path\":\"/a\",\"before\":\"0\",\"after\":0")},
      {"mode not octal", record("\"kind\":\"mode\",\"path\":\"/a\",\"before\":\"9999\",\"after\":\"755\"")},
      {"mode too wide", record("\"kind\":\"mode\",\"path\":\"/a\",\"before\":\"177777\",\"after\":\"755\"")},
      {"kept outside the store", record("\"kind\":\"kext\",\"path\":\"/Library/Extensions/A.kext\",\"before\":\"" +
                                        std::string(32, 'a') + "\",\"after\":null,\"kept\":\"../../etc\"")},
      {"kept with a slash", record("\"kind\":\"kext\",\"path\":\"/L/A.kext\",\"before\":null,\"after\":\"" +
                                   std::string(32, 'a') + "\",\"kept\":\"a/b\"")},
      {"fingerprint not hex", record("\"kind\":\"kext\",\"path\":\"/L/A.kext\",\"before\":null,\"after\":\"zz\"")},
      {"variable without GUID",
       record("\"kind\":\"nvram\",\"path\":\"csr-active-config\",\"before\":null,\"after\":\"00\"")},
      {"variable name with slash", record("\"kind\":\"nvram\",\"path\":\"7c436110-ab2a-4bbb-a880-fe41995c9f82:../x\","
                                          "\"before\":null,\"after\":\"00\"")},
      {"bad hex companion", record("\"kind\":\"owner\",\"path\":\"/a\",\"pathHex\":\"2f6\",\"before\":1,\"after\":0")},
      {"bad run id",
       "{\"run\":\"../../x\",\"time\":\"2026-12-10T09:45:00Z\",\"seq\":1,\"kind\":\"owner\","
       "\"path\":\"/a\",\"before\":1,\"after\":0}"},
      {"header of another version",
       "{\"journal\":2," + run + ",\"operation\":\"x\",\"target\":\"\",\"tool\":\"\",\"uid\":0}"},
      {"too long",
       record("\"kind\":\"owner\",\"path\":\"/" + std::string(kQLJournalMaxLine, 'a') + "\",\"before\":1,\"after\":0")},
  };
  for (const auto& [name, line] : cases) EXPECT_EQ(parseJournalLine(line).type, QLJournalLine::Type::invalid) << name;
  EXPECT_EQ(parseJournalLine(record("\"kind\":\"owner\",\"path\":\"/a\",\"before\":1,\"after\":0")).type,
            QLJournalLine::Type::record);
}

TEST(Journal, ADamagedLineBeforeTheLastIsDamage) {
  TempDir dir;
  const std::string id = writeEveryKind(dir);
  const std::string file = dir / ("journal/" + id + ".jsonl");
  std::string text = test::slurp(file);
  const auto second = text.find('\n', text.find('\n') + 1);
  text.insert(second + 1, "{\"run\":\"" + id + "\", not json\n");
  platform::writeFile(file, text);
  std::string why;
  const auto read = readJournalRun(placeIn(dir), id, why);
  ASSERT_TRUE(read) << why;
  EXPECT_NE(read->summary.damage.find("line 3"), std::string::npos) << read->summary.damage;
}

TEST(Journal, ListsRunsNewestFirstAndTellsWhichAreUndone) {
  TempDir dir;
  std::vector<std::string> ids;
  for (const char* operation : {"repair-permissions", "install-kexts"}) {
    QLJournalRun run({placeIn(dir)}, header(operation));
    ASSERT_TRUE(run.record(everyKind().front()));
    ids.push_back(run.id());
  }
  {
    auto undo = header("undo");
    undo.undoes = ids[1];
    QLJournalRun run({placeIn(dir)}, undo);
    ASSERT_TRUE(run.record(everyKind().front()));
    ids.push_back(run.id());
  }
  platform::writeFile(dir / "journal/notes.txt", "not a run");
  platform::writeFile(dir / "journal/20261210T094500Z-zzzzzz.jsonl", "not a run id");
  const auto runs = listJournalRuns(placeIn(dir));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].header.run, ids[2]);
  EXPECT_EQ(runs[0].header.undoes, ids[1]);
  EXPECT_EQ(runs[1].undoneBy, ids[2]);
  EXPECT_EQ(runs[2].header.operation, "repair-permissions");
  EXPECT_TRUE(runs[2].undoneBy.empty());
  for (const auto& run : runs) EXPECT_EQ(run.changes, 1u);
}

TEST(Journal, WorkersRecordAtOnceWithoutLosingALine) {
  TempDir dir;
  constexpr int kThreads = 8;
  constexpr int kEach = 500;
  std::string id;
  {
    QLJournalRun run({placeIn(dir)}, header("repair-permissions"));
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
      workers.emplace_back([&run, t] {
        for (int i = 0; i < kEach; ++i)
          run.record({QLJournalKind::mode,
                      "/w" + std::to_string(t) + "/" + std::to_string(i),
                      std::string("644"),
                      std::string("755"),
                      {},
                      {}});
      });
    for (auto& worker : workers) worker.join();
    id = run.id();
  }
  std::string why;
  const auto read = readJournalRun(placeIn(dir), id, why);
  ASSERT_TRUE(read) << why;
  EXPECT_TRUE(read->summary.damage.empty());
  ASSERT_EQ(read->records.size(), std::size_t{kThreads * kEach});
  std::vector<bool> seen(kThreads * kEach + 1);
  for (const auto& record : read->records) {
    ASSERT_LE(record.seq, seen.size() - 1);
    EXPECT_FALSE(seen[record.seq]);
    seen[record.seq] = true;
  }
}

}  // namespace
}  // namespace tarnix
