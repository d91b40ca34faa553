// The helper's security pieces on their own: asking polkit (with a stand-in for it), the
// refusal on the wire, the signed tool archive and where the tool install takes a tool from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SigningSupport.h"
#include "TestSupport.h"
#include "ZipSupport.h"
#include "helper/QLHelperAuthorization.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "operations/QLHelperOperations.h"
#include "operations/QLToolArchive.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

using platform::PolkitAnswer;

QLHelperCaller caller(bool trusted) {
  platform::PeerCredentials peer;
  peer.pid = 4242;
  peer.uid = 1000;
  peer.startTime = 77;
  return QLHelperCaller(peer, trusted, 1);
}

TEST(HelperAuthorization, AsksPolkitForTheActionOfEachOperation) {
  std::vector<std::string> asked;
  std::optional<PolkitAnswer> answer;
  const QLPolkitQuestion ask = [&](const platform::PeerCredentials& peer, const std::string& action) {
    EXPECT_EQ(peer.pid, 4242);
    asked.push_back(action);
    return *answer;
  };
  auto trusted = caller(true);
  EXPECT_TRUE(authorize(trusted, QLHelperAction::writeNvram, ask));
  EXPECT_TRUE(asked.empty()) << "root and the daemon's own user are not asked about";

  const std::pair<PolkitAnswer, bool> answers[] = {
      {PolkitAnswer::authorized, true}, {PolkitAnswer::notAuthorized, false}, {PolkitAnswer::unavailable, false}};
  for (const auto& [given, expected] : answers) {
    auto other = caller(false);
    answer = given;
    EXPECT_EQ(authorize(other, QLHelperAction::repair, ask), expected);
  }
  auto other = caller(false);
  answer = PolkitAnswer::authorized;
  for (auto action : {QLHelperAction::installKexts, QLHelperAction::installTool, QLHelperAction::writeNvram})
    authorize(other, action, ask);
  EXPECT_EQ(asked, (std::vector<std::string>{"local.quillon.tarnix.repair", "local.quillon.tarnix.repair",
                                             "local.quillon.tarnix.repair", "local.quillon.tarnix.install-kexts",
                                             "local.quillon.tarnix.install-tool", "local.quillon.tarnix.write-nvram"}));
}

// Calls sent together (the folder repairs) wait for the one dialog; when the person says no,
// those already waiting get the same no instead of a dialog each. A later call asks again.
TEST(HelperAuthorization, CallsWaitingWhenThePersonSaysNoShareTheAnswer) {
  auto other = caller(false);
  std::mutex mutex;
  std::condition_variable changed;
  bool dialogOpen = false, answered = false;
  std::atomic<int> questions{0};
  const QLPolkitQuestion ask = [&](const platform::PeerCredentials&, const std::string&) {
    ++questions;
    std::unique_lock lock(mutex);
    dialogOpen = true;
    changed.notify_all();
    changed.wait(lock, [&] { return answered; });
    return PolkitAnswer::notAuthorized;
  };
  bool first = true, second = true;
  std::thread one([&] { first = authorize(other, QLHelperAction::repair, ask); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return dialogOpen; });
  }
  std::thread two([&] { second = authorize(other, QLHelperAction::repair, ask); });
  while (other.questionsArrived.load() < 2) std::this_thread::yield();
  {
    std::lock_guard lock(mutex);
    answered = true;
  }
  changed.notify_all();
  one.join();
  two.join();
  EXPECT_FALSE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(questions.load(), 1);
  EXPECT_FALSE(authorize(other, QLHelperAction::repair, ask));
  EXPECT_EQ(questions.load(), 2);
}

TEST(HelperRefusal, TravelsBesideTheReplysValue) {
  const QLXPCHelperRefusal refusals[] = {
      QLXPCHelperRefusal::notAuthorized(),
      QLXPCHelperRefusal::untrustedVolume(platform::VolumeRefusal::missingNosuidNodev),
      QLXPCHelperRefusal::untrustedVolume(platform::VolumeRefusal::runningSystem),
  };
  for (const auto& refusal : refusals) {
    const auto decoded = wire::decodeMessage(wire::encodeMessage(wire::Kind::reply, 7, "", wire::pack(false), refusal),
                                             wire::kMaxReplyFrame);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->refusal, std::optional<QLXPCHelperRefusal>(refusal));
    EXPECT_EQ(wire::unpack<bool>(decoded->arguments), std::optional<std::tuple<bool>>(false));
  }
  const auto plain =
      wire::decodeMessage(wire::encodeMessage(wire::Kind::reply, 7, "", wire::pack(true)), wire::kMaxReplyFrame);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->refusal);
  // Only a reply carries one; a malformed one reads as none.
  const auto call = wire::decodeMessage(
      wire::encodeMessage(wire::Kind::call, 7, "test:", wire::pack(), QLXPCHelperRefusal::notAuthorized()),
      wire::kMaxRequestFrame);
  ASSERT_TRUE(call);
  EXPECT_FALSE(call->refusal);
  platform::Plist odd(plist_new_dict());
  plist_dict_set_item(odd.get(), "reason", plist_new_string("untrustedVolume"));
  plist_dict_set_item(odd.get(), "volume", plist_new_string("somethingElse"));
  EXPECT_FALSE(QLXPCHelperRefusal::decode(odd.get()));
}

class ToolSource : public ::testing::Test {
 protected:
  void SetUp() override {
    table.bundledTool = dir / "Bramble";
    table.toolKey = key.publicKeyBase64();
  }
  std::string archive(const std::vector<test::ZipEntry>& entries) {
    const std::string path = dir / "Bramble.zip";
    EXPECT_TRUE(test::writeZip(path, entries));
    return path;
  }
  void sign(const std::string& path, const test::SigningKey& by) {
    platform::writeFile(path + ".sig", by.sign(test::slurp(path)));
  }

  test::TempDir dir;
  test::SigningKey key;
  platform::HelperPlatformTable table;
};

TEST_F(ToolSource, ThePackagedCopyOnlyWhenNobodyElseCouldHaveWrittenIt) {
  platform::writeFile(table.bundledTool, "packaged", 0755);
  EXPECT_EQ(QLHelperOperations::toolFromSource(table.bundledTool, table, nullptr),
            std::optional<std::string>("packaged"));
  ::chmod(table.bundledTool.c_str(), 0775);
  EXPECT_FALSE(QLHelperOperations::toolFromSource(table.bundledTool, table, nullptr));
  const std::string elsewhere = dir / "Other";
  platform::writeFile(elsewhere, "other", 0755);
  EXPECT_FALSE(QLHelperOperations::toolFromSource(elsewhere, table, nullptr)) << "not the packaged copy, not signed";
}

TEST_F(ToolSource, AFeedArchiveOnlyWhenSignedWithTheBuiltInKey) {
  const std::string signedArchive = archive({{"Bramble", "new tool", 0100755}, {"CHANGES", "all"}});
  sign(signedArchive, key);
  EXPECT_EQ(QLHelperOperations::toolFromSource(signedArchive, table, nullptr), std::optional<std::string>("new tool"));

  sign(signedArchive, test::SigningKey(7));
  EXPECT_FALSE(QLHelperOperations::toolFromSource(signedArchive, table, nullptr)) << "another key";
  sign(signedArchive, key);
  platform::writeFile(signedArchive, test::slurp(signedArchive) + "x");
  EXPECT_FALSE(QLHelperOperations::toolFromSource(signedArchive, table, nullptr)) << "changed after signing";
  ::unlink((signedArchive + ".sig").c_str());
  EXPECT_FALSE(QLHelperOperations::toolFromSource(signedArchive, table, nullptr)) << "no signature";

  const std::string again = archive({{"Bramble", "new tool", 0100755}});
  sign(again, key);
  table.toolKey.clear();
  EXPECT_FALSE(QLHelperOperations::toolFromSource(again, table, nullptr)) << "no key built in, no archive";
}

TEST(ToolArchive, VerifiesOnlyWellFormedSignaturesOfItsKey) {
  const test::SigningKey key;
  const std::string bytes = "archive bytes";
  EXPECT_TRUE(QLToolArchive::verify(bytes, key.sign(bytes), key.publicKeyBase64()));
  EXPECT_FALSE(QLToolArchive::verify(bytes + " ", key.sign(bytes), key.publicKeyBase64()));
  EXPECT_FALSE(QLToolArchive::verify(bytes, key.sign(bytes), test::SigningKey(1).publicKeyBase64()));
  EXPECT_FALSE(QLToolArchive::verify(bytes, "not base64!", key.publicKeyBase64()));
  EXPECT_FALSE(QLToolArchive::verify(bytes, key.sign(bytes), ""));
  EXPECT_FALSE(QLToolArchive::verify(bytes, key.sign(bytes), key.publicKeyBase64() + "AAAA"));
}

// Only a regular file named after the tool at the top of the archive is the tool.
TEST(ToolArchive, TakesOnlyTheToolAtTheTop) {
  test::TempDir dir;
  const std::string path = dir / "a.zip";
  struct Case {
    std::vector<test::ZipEntry> entries;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {{{"Bramble", "tool", 0100755}, {"../escaped", "x"}}, "tool"},
      {{{"Bramble-9.0.0/Bramble", "x", 0100755}}, std::nullopt},
      {{{"Bramble/", "", 040755}}, std::nullopt},
      {{{"bramble", "x", 0100755}}, std::nullopt},
      {{{"Bramble", "/etc/shadow", 0120777}}, std::nullopt},  // a link
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(test::writeZip(path, c.entries));
    EXPECT_EQ(QLToolArchive::extract(test::slurp(path), "Bramble", 1 << 20), c.expected) << c.entries.front().name;
  }
  EXPECT_FALSE(QLToolArchive::extract("<html>404</html>", "Bramble", 1 << 20));
  ASSERT_TRUE(test::writeZip(path, {{"Bramble", std::string(100, 'x'), 0100755}}));
  EXPECT_FALSE(QLToolArchive::extract(test::slurp(path), "Bramble", 99)) << "larger than the limit";
}

}  // namespace
}  // namespace tarnix
