#include <gtest/gtest.h>

#include "VolumeBuilder.h"
#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZBramble.h"
#include "model/QLOSVolume.h"
#include "platform/Fakes.h"
#include "platform/Processor.h"

namespace tarnix {
namespace {

using test::TempDir;

class Phases : public RZBrambleDelegate {
 public:
  void willSetupManager() override { events.push_back("willSetup"); }
  void didSetupManager() override { events.push_back("didSetup"); }
  void willVerifyPermissions() override { events.push_back("willVerify"); }
  void didVerifyPermissions() override { events.push_back("didVerify"); }
  void willRepairPermissions() override { events.push_back("willRepair"); }
  void didRepairPermissions() override { events.push_back("didRepair"); }
  void globalProgressDidChangeWithNewProgress(double progress) override { notified.push_back(progress); }
  std::vector<std::string> events;
  std::vector<double> notified;
};

class RepairJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeSystemVersion(dir.path());
    ASSERT_EQ(platform::makeDirectories(dir / "usr/bin"), 0);
    ASSERT_EQ(platform::writeFile(dir / "usr/bin/tool", "", 0600), 0);
    test::writeReceipt(dir.path(), "base", "com.apple.pkg.Base", {test::kGroupA},
                       {{".", 040755, uid, gid},
                        {"./usr", 040755, uid, gid},
                        {"./usr/bin", 040755, uid, gid},
                        {"./usr/bin/tool", 0100755, uid, gid}});
    ASSERT_EQ(platform::setModeNoFollow(dir.path(), 0755), 0);
    volume = QLOSVolume::initWithMountPoint(dir.path());
    ASSERT_TRUE(volume);
  }
  const std::uint32_t uid = platform::currentUserId();
  const std::uint32_t gid = platform::currentGroupId();
  TempDir dir;
  std::optional<QLOSVolume> volume;
};

TEST_F(RepairJobTest, VerifyRepairVerify) {
  Phases phases;
  RZBramble verify(QLRepairPermissionsJobType::verifyPermissions, *volume, &phases, 2, false, 1.0);
  const auto found = verify.run();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].fileSystemResource().path(), dir / "usr/bin/tool");
  EXPECT_EQ(verify.total(), 4);
  EXPECT_EQ(verify.progress(), 100);
  EXPECT_EQ(phases.events, (std::vector<std::string>{"willSetup", "didSetup", "willVerify", "didVerify"}));
  // Everything within one second: only the first value, 0, is notified.
  EXPECT_EQ(phases.notified, (std::vector<double>{0}));

  RZBramble repair(QLRepairPermissionsJobType::repairPermissions, *volume, nullptr, 2, false, 1.0);
  const auto fixed = repair.run();
  ASSERT_EQ(fixed.size(), 1u);
  EXPECT_EQ(fixed[0].attributeStatus(), QLFileSystemResourceAttributeStatus::fixed);
  const auto represented = representable(fixed[0]);
  ASSERT_TRUE(represented);
  EXPECT_EQ(represented->identifier, fixed[0].identifier());
  EXPECT_EQ(represented->fileSystemResourcePath, dir / "usr/bin/tool");
  EXPECT_EQ(represented->attributeMismatchedTypeString, "POSIX Permissions Mismatched");
  EXPECT_EQ(std::tie(represented->currentAttribute, represented->correctAttribute, represented->newAttribute),
            std::make_tuple(std::int64_t{600}, std::int64_t{755}, std::int64_t{755}));
  EXPECT_EQ(represented->attributeStatusString, "Fixed");
  EXPECT_FALSE(representable(found[0]));

  RZBramble again(QLRepairPermissionsJobType::verifyPermissions, *volume, nullptr, 2, false, 1.0);
  EXPECT_TRUE(again.run().empty());
}

TEST_F(RepairJobTest, MapsPhaseProgressToOnePercentage) {
  Phases phases;
  RZBramble job(QLRepairPermissionsJobType::verifyPermissions, *volume, &phases, 1, false, 0);
  std::uint64_t now = 1;
  job.setClock([&] { return now += 10; });
  const QLStandardPackage package = *QLStandardPackage::make(dir / "System/Library/Receipts/base.plist");
  struct Step {
    std::function<void()> call;
    double expected;
  };
  const Step steps[] = {
      {[&] { job.willGetPackages(*volume); }, 0},        {[&] { job.willParsePackages({}); }, 10},
      {[&] { job.didParsePackage(package, 1, 3); }, 20}, {[&] { job.didParsePackage(package, 2, 3); }, 30},
      {[&] { job.willCreateResources(); }, 40},          {[&] { job.didCreateResource(1, 3); }, 56.67},
      {[&] { job.didVerifyResource(2, 3); }, 96.67},     {[&] { job.didRepairResource(1, 3); }, 93.33},
  };
  for (const auto& step : steps) {
    step.call();
    EXPECT_DOUBLE_EQ(job.progress(), step.expected);
    EXPECT_DOUBLE_EQ(phases.notified.back(), step.expected);
  }
  const std::size_t before = phases.notified.size();
  job.didGetPackages(*volume);
  job.didParsePackages({});
  job.didCreateResources();
  EXPECT_EQ(phases.notified.size(), before);
}

TEST_F(RepairJobTest, ThrottlesNotificationsToTheInterval) {
  Phases phases;
  RZBramble job(QLRepairPermissionsJobType::verifyPermissions, *volume, &phases, 1, false, 1.0);
  std::uint64_t now = 5'000'000'000;
  job.setClock([&] { return now; });
  job.setProgress(1);  // the first value is always notified
  now += 400'000'000;
  job.setProgress(2);  // within a second: stored, not notified
  now += 600'000'000;
  job.setProgress(3);  // exactly one second: still not more than the interval
  now += 1;
  job.setProgress(4);
  now += 10;
  job.setProgress(100);  // even the final value is dropped when too close
  EXPECT_EQ(phases.notified, (std::vector<double>{1, 4}));
  EXPECT_EQ(job.progress(), 100);
}

TEST_F(RepairJobTest, ChoosesItsThreadCount) {
  const long processors = platform::onlineProcessorCount();
  const std::tuple<std::int64_t, bool, long> cases[] = {
      {1, false, 1},           {processors, false, processors},     {0, false, processors},
      {-3, false, processors}, {processors + 1, false, processors}, {1, true, processors}};
  for (const auto& [requested, useAll, expected] : cases) {
    RZBramble job(QLRepairPermissionsJobType::verifyPermissions, *volume, nullptr, requested, useAll, 1.0);
    EXPECT_EQ(job.numThreads(), expected) << requested << " " << useAll;
  }
}

}  // namespace
}  // namespace tarnix
