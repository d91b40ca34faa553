#include <gtest/gtest.h>

#include <tuple>

#include "BinaryPlist.h"

#include "helper/protocol/QLArchiveCodec.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLXPCTarnixHelperProxy.h"
#include "helper/protocol/QLXPCTarnixHelperStub.h"

namespace tarnix {
namespace {

using platform::Plist;

QLOSVolume sampleVolume() {
  return QLOSVolume::fromArchive("/Volumes/Mac HD", QLOSVersion::fromArchive(10, 13, 2, "10.13.2", "17C88"));
}

// Through the bytes of a real message, as the wire carries them.
template <typename T>
std::optional<T> roundTrip(const T& value) {
  auto body = wire::encodeMessage(wire::Kind::reply, 7, "", wire::pack(value));
  auto message = wire::decodeMessage(body, wire::kMaxReplyFrame);
  if (!message) return std::nullopt;
  auto values = wire::unpack<T>(message->arguments);
  if (!values) return std::nullopt;
  return std::get<0>(*values);
}

TEST(ArchiveCodec, EveryWireObjectSurvivesTheWire) {
  auto volume = roundTrip(sampleVolume());
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->mountPoint, "/Volumes/Mac HD");
  EXPECT_EQ(volume->osVersion.minorVersion, 13);
  EXPECT_EQ(volume->osVersion.buildVersion, "17C88");

  QLRepairPermissionsRepresentableResult result("id-1", "/usr/bin/sudo", "Permissions mismatched", 755, 4755, 4755,
                                                "Fixed");
  auto results = roundTrip(std::vector{result, result});
  ASSERT_TRUE(results);
  ASSERT_EQ(results->size(), 2u);
  const auto& back = (*results)[1];
  EXPECT_EQ(
      std::tie(back.identifier, back.fileSystemResourcePath, back.attributeMismatchedTypeString, back.currentAttribute,
               back.correctAttribute, back.newAttribute, back.attributeStatusString),
      std::tie(result.identifier, result.fileSystemResourcePath, result.attributeMismatchedTypeString,
               result.currentAttribute, result.correctAttribute, result.newAttribute, result.attributeStatusString));

  auto context = roundTrip(QLXPCHelperContext::initWith("Progress", 0.25));
  ASSERT_TRUE(context);
  EXPECT_EQ(context->status, "Progress");
  EXPECT_EQ(context->progress, 0.25);

  auto kexts = roundTrip(std::vector{QLKernelExtension::fromPath("/src/My Kexts/Foo.kext")});
  ASSERT_TRUE(kexts);
  EXPECT_EQ(kexts->at(0).path(), "/src/My Kexts/Foo.kext");

  auto empty = roundTrip(std::vector<QLKernelExtension>{});
  ASSERT_TRUE(empty);  // an empty reply is an empty array, not nothing
  EXPECT_TRUE(empty->empty());

  for (std::int64_t number :
       {std::int64_t{0}, std::int64_t{-1}, std::int64_t{1234567890}, std::int64_t{9999999999}, INT64_MIN, INT64_MAX})
    EXPECT_EQ(roundTrip(number), number);
}

TEST(ArchiveCodec, ContextHashNamesStatusAndProgress) {
  EXPECT_EQ(QLXPCHelperContext::initWith("Progress", 0.5).hashValue(), std::hash<std::string>{}("Progress_0.5"));
}

Plist parse(const std::string& xml) { return platform::parsePropertyList(xml); }

std::string object(const std::string& className, const std::string& keys) {
  return "<dict><key>$class</key><string>" + className + "</string>" + keys + "</dict>";
}
std::string plist(const std::string& body) { return "<plist version=\"1.0\">" + body + "</plist>"; }

const std::string kVersion =
    object("QLOSVersion", "<key>kVersion</key><string>10.13</string><key>kBuildVersion</key><string>17A</string>");

TEST(ArchiveCodec, RefusesWrongClassesAndMissingKeys) {
  struct Case {
    const char* name;
    std::string xml;
    bool accepted;
  };
  const Case volumes[] = {
      {"complete",
       plist(object("QLOSVolume", "<key>kMountPoint</key><string>/V</string><key>kOSVersion</key>" + kVersion)), true},
      {"integers may be absent",
       plist(object("QLOSVolume", "<key>kMountPoint</key><string>/V</string><key>kOSVersion</key>" +
                                      object("QLOSVersion",
                                             "<key>kVersion</key><string>1</string>"
                                             "<key>kBuildVersion</key><string>b</string>"))),
       true},
      {"another class", plist(object("QLOSVersion", "<key>kMountPoint</key><string>/V</string>")), false},
      {"a prefixed class name",
       plist(object("Tarnix.QLOSVolume", "<key>kMountPoint</key><string>/V</string><key>kOSVersion</key>" + kVersion)),
       false},
      {"no version", plist(object("QLOSVolume", "<key>kMountPoint</key><string>/V</string>")), false},
      {"version of a wrong class",
       plist(object("QLOSVolume", "<key>kMountPoint</key><string>/V</string><key>kOSVersion</key>" +
                                      object("QLKernelExtension", ""))),
       false},
      {"mount point not a string",
       plist(object("QLOSVolume", "<key>kMountPoint</key><integer>1</integer><key>kOSVersion</key>" + kVersion)),
       false},
      {"integer of a wrong type",
       plist(object("QLOSVolume", "<key>kMountPoint</key><string>/V</string><key>kOSVersion</key>" +
                                      object("QLOSVersion",
                                             "<key>kMajorVersion</key><string>10</string>"
                                             "<key>kVersion</key><string>1</string>"
                                             "<key>kBuildVersion</key><string>b</string>"))),
       false},
      {"a bare string", plist("<string>/V</string>"), false},
  };
  for (const auto& c : volumes) {
    auto node = parse(c.xml);
    ASSERT_TRUE(node) << c.name;
    EXPECT_EQ(archive::decode<QLOSVolume>(node.get()).has_value(), c.accepted) << c.name;
  }

  const std::string url = object("NSURL", "<key>NS.string</key><string>file:///a/Foo.kext</string>");
  EXPECT_TRUE(
      archive::decode<QLKernelExtension>(parse(plist(object("QLKernelExtension", "<key>url</key>" + url))).get()));
  EXPECT_FALSE(archive::decode<QLKernelExtension>(
      parse(plist(object("QLKernelExtension", "<key>url</key><string>file:///a/Foo.kext</string>"))).get()));
  EXPECT_FALSE(archive::decode<QLKernelExtension>(
      parse(plist(object("QLKernelExtension",
                         "<key>url</key>" + object("NSURL", "<key>NS.string</key><string>http://x/Foo.kext</string>"))))
          .get()));
  // An array allows its element class only.
  EXPECT_FALSE(archive::decode<std::vector<QLKernelExtension>>(
      parse(plist("<array>" + object("QLKernelExtension", "<key>url</key>" + url) + kVersion + "</array>")).get()));
  EXPECT_FALSE(archive::decode<QLXPCHelperContext>(
      parse(plist(object("QLXPCHelperContext", "<key>kProgress</key><real>1</real>"))).get()));
}

TEST(WireMessage, RefusesMalformedBodies) {
  const auto decode = [](std::string_view body) { return wire::decodeMessage(body, wire::kMaxRequestFrame); };
  const std::string good = wire::encodeMessage(wire::Kind::call, 1, "test:", wire::pack());
  ASSERT_TRUE(decode(good));
  EXPECT_FALSE(decode(good.substr(0, good.size() / 2)));
  EXPECT_FALSE(decode("not a property list at all"));
  EXPECT_FALSE(decode(
      platform::toXml(platform::parsePropertyList(plist("<dict><key>kind</key><string>call</string></dict>")).get())));
  EXPECT_FALSE(decode(wire::encodeMessage(wire::Kind::call, 0, "test:", wire::pack())));  // id 0
  EXPECT_FALSE(decode(wire::encodeMessage(wire::Kind::oneway, 0, "", wire::pack())));     // no selector
}

// Each side's bounds sit far above its largest honest message and far below what a frame of
// shared or nested objects would grow to.
TEST(WireMessage, BoundsWhatAFrameMayGrowTo) {
  std::vector<QLRepairPermissionsRepresentableResult> results;
  for (int i = 0; i < 145000; ++i)
    results.emplace_back("id-" + std::to_string(i), "/System/Library/Frameworks/F" + std::to_string(i) + ".framework",
                         "Permissions mismatched", 755, 4755, 4755, "Fixed");
  // libplist's own writer takes many seconds over a tree this size.
  const auto reply = [&] {
    Plist root(plist_new_dict());
    plist_dict_set_item(root.get(), "kind", plist_new_string("reply"));
    plist_dict_set_item(root.get(), "id", plist_new_uint(2));
    plist_dict_set_item(root.get(), "arguments", wire::pack(results).release());
    test::BinaryPlist writer(4, 4);
    return writer.bytes(writer.tree(root.get()));
  }();
  auto message = wire::decodeMessage(reply, wire::kMaxReplyFrame);
  ASSERT_TRUE(message);
  const auto decoded = wire::unpack<std::vector<QLRepairPermissionsRepresentableResult>>(message->arguments);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(std::get<0>(*decoded).size(), 145000u);

  std::vector<QLKernelExtension> kexts;
  for (int i = 0; i < 2000; ++i)
    kexts.push_back(QLKernelExtension::fromPath("/src/Kexts/K" + std::to_string(i) + ".kext"));
  const auto install =
      wire::encodeMessage(wire::Kind::call, 3, "installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:",
                          wire::pack(kexts, std::string("/Library/Extensions/"), sampleVolume()));
  EXPECT_TRUE(wire::decodeMessage(install, wire::kMaxRequestFrame));

  for (const auto& [name, body, limit, reason] :
       {std::tuple{"doubling", test::doublingPlist(24), wire::kMaxRequestFrame, "131072 values"},
        std::tuple{"doubling reply", test::doublingPlist(30), wire::kMaxReplyFrame, "33554432 values"},
        std::tuple{"deep", test::deepPlist(120000), wire::kMaxRequestFrame, "nested deeper than 32"},
        std::tuple{"too long", reply, wire::kMaxRequestFrame, "longer than the frame limit"}}) {
    std::string refusal;
    EXPECT_FALSE(wire::decodeMessage(body, limit, &refusal)) << name;
    EXPECT_NE(refusal.find(reason), std::string::npos) << name << ": " << refusal;
  }
}

// A context whose class name is an ASCII string with bytes past its end (found by the fuzzer):
// libplist reports a length beyond the text and, asked the usual way, ends the process.
TEST(WireMessage, RefusesAStringWhoseLengthIsNotItsText) {
  const std::string body(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd3\x01\x03\x05\x02\x04\x06\x54\x6b\x69\x6e\x64\x56\x6f\x6e\x65"
      "\x77\x61\x79\x58\x73\x65\x6c\x65\x63\x74\x6f\x72\x5f\x10\x15\x75\x70\x64\x61\x74\x65\x57\x69\x74"
      "\x68\x4e\x65\x77\x43\x6f\x6e\x74\x65\x78\x74\x3a\x59\x61\x72\x67\x75\x6d\x65\x6e\x74\x73\xa1\x07"
      "\xd3\x08\x0a\x0c\x09\x0b\x0d\x56\x24\x63\x6c\x61\x73\x73\x5f\x10\x12\x51\x48\x4f\x52\x6b\x73\x7c"
      "\x86\x00\x00\x00\xc6\x90\x91\x8b\x65\x78\x74\x57\x6b\x53\x74\x61\x74\x75\x73\x58\x50\x72\x73\x65"
      "\x6f\x72\x67\x73\x59\x6b\x50\x72\x6f\x67\x72\x65\x73\x73\x22\x42\x2a\x00\x00\x08\x0f\x14\x1b\x24"
      "\x3c\x46\x48\x4f\x52\x6b\x73\x7c\x86\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00"
      "\x0e\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x8b",
      185);
  auto message = wire::decodeMessage(body, wire::kMaxReplyFrame);
  ASSERT_TRUE(message);
  EXPECT_FALSE(wire::unpack<QLXPCHelperContext>(message->arguments));
}

// Records what reached the exported object.
class RecordingHelper final : public QLXPCTarnixHelperProtocol {
 public:
  std::vector<std::string> calls;
  void test(QLReply<std::int64_t> reply) override { calls.push_back("test"), reply(kQLHelperTestAnswer); }
  void terminate() override { calls.push_back("terminate"); }
  void uninstall(QLReply<bool>) override { calls.push_back("uninstall"); }
  void getVersion(QLReply<std::string>) override { calls.push_back("getVersion"); }
  void repairWithFolder(std::string folder, QLOSVolume volume, QLReply<bool> reply) override {
    calls.push_back("repairWithFolder " + folder + " " + volume.mountPoint);
    reply(true);
  }
  void repairDiskPermissionsOnTargetVolume(QLOSVolume,
                                           QLReply<std::vector<QLRepairPermissionsRepresentableResult>>) override {
    calls.push_back("repairDiskPermissionsOnTargetVolume");
  }
  void rebuildCachesOnTargetVolume(QLOSVolume, QLReply<bool>) override {
    calls.push_back("rebuildCachesOnTargetVolume");
  }
  void test2(QLReply<std::int64_t>) override { calls.push_back("test2"); }
  void installWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume,
                                   QLReply<std::vector<QLKernelExtension>>) override {
    calls.push_back("installWithKernelExtensions");
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension>, std::string, QLOSVolume, std::string,
                                  QLReply<std::vector<QLKernelExtension>>) override {
    calls.push_back("backupWithKernelExtensions");
  }
  void changeMaximumThreadsNumber(std::int64_t, QLReply<bool>) override {
    calls.push_back("changeMaximumThreadsNumber");
  }
  void installBrambleFromSourcePath(std::string, std::string, QLReply<bool>) override {
    calls.push_back("installBrambleFromSourcePath");
  }
  void uninstallBrambleFromPath(std::string, QLReply<bool>) override { calls.push_back("uninstallBrambleFromPath"); }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t, QLReply<bool>) override {
    calls.push_back("applyBooterConfigViaNVRAMWithNewBooterConfig");
  }
};

// Records whether each reply carried values.
class RecordingReply final : public wire::ReplySender {
 public:
  explicit RecordingReply(std::vector<bool>& replies) : wire::ReplySender(3), replies_(replies) {}
  void sendReply(Plist values) override { replies_.push_back(values != nullptr); }
  void sendEncodedReply(std::string body) override { replies_.push_back(!body.empty()); }

 private:
  std::vector<bool>& replies_;
};

TEST(QLXPCTarnixHelperStub, InvokesOnlyWellFormedCalls) {
  RecordingHelper helper;
  QLXPCTarnixHelperStub stub(helper);
  std::vector<bool> replies;
  auto dispatch = [&](wire::Kind kind, const char* selector, Plist arguments) {
    auto message = wire::decodeMessage(
        wire::encodeMessage(kind, kind == wire::Kind::oneway ? 0 : 3, selector, std::move(arguments)),
        wire::kMaxRequestFrame);
    return message && stub.dispatch(*message, std::make_shared<RecordingReply>(replies));
  };
  EXPECT_TRUE(dispatch(wire::Kind::call, "test:", wire::pack()));
  EXPECT_TRUE(dispatch(wire::Kind::oneway, "terminate", wire::pack()));
  EXPECT_TRUE(dispatch(wire::Kind::call, "repairWithFolder:onTargetVolume:reply:",
                       wire::pack(std::string("/Library/Extensions/"), sampleVolume())));

  EXPECT_FALSE(dispatch(wire::Kind::call, "format:", wire::pack()));
  EXPECT_FALSE(dispatch(wire::Kind::call, "terminate", wire::pack()));  // one-way only
  EXPECT_FALSE(dispatch(wire::Kind::oneway, "test:", wire::pack()));    // needs a reply
  EXPECT_FALSE(dispatch(wire::Kind::call, "test:", wire::pack(std::int64_t{1})));
  EXPECT_FALSE(dispatch(wire::Kind::call, "repairWithFolder:onTargetVolume:reply:",
                        wire::pack(std::string("/Library/Extensions/"), sampleVolume().osVersion)));
  EXPECT_EQ(helper.calls,
            (std::vector<std::string>{"test", "terminate", "repairWithFolder /Library/Extensions/ /Volumes/Mac HD"}));
  EXPECT_EQ(replies.size(), 2u);
}

// Keeps the bodies of what the proxy sends, as the connection would frame them.
class RecordingSender final : public wire::Sender {
 public:
  std::vector<std::string> bodies;
  void sendCall(std::string_view selector, Plist arguments, ReplyHandler, ReplyHandler onPart,
                ResultsHandler) override {
    bodies.push_back(
        wire::encodeMessage(wire::Kind::call, 3, selector, std::move(arguments), std::nullopt, onPart != nullptr));
  }
  void sendOneway(std::string_view selector, Plist arguments) override {
    bodies.push_back(wire::encodeMessage(wire::Kind::oneway, 0, selector, std::move(arguments)));
  }
};

// The selectors are the helper's own and never change: each method leaves the application
// under its own, in the right kind of message, and reaches the same method in the helper.
TEST(QLXPCTarnixHelperProxy, EveryMethodTravelsUnderItsSelectorToTheSameMethod) {
  RecordingSender sender;
  QLXPCTarnixHelperProxy proxy(sender);
  const std::vector kexts{QLKernelExtension::fromPath("/src/Foo.kext")};
  proxy.test({});
  proxy.terminate();
  proxy.uninstall({});
  proxy.getVersion({});
  proxy.repairWithFolder("/Library/Extensions/", sampleVolume(), {});
  proxy.repairDiskPermissionsOnTargetVolume(sampleVolume(), {});
  proxy.rebuildCachesOnTargetVolume(sampleVolume(), {});
  proxy.test2({});
  proxy.installWithKernelExtensions(kexts, "/Library/Extensions/", sampleVolume(), {});
  proxy.backupWithKernelExtensions(kexts, "/Library/Extensions/", sampleVolume(), "/backup", {});
  proxy.changeMaximumThreadsNumber(4, {});
  proxy.installBrambleFromSourcePath("/src/bramble", "/usr/local/bin/bramble", {});
  proxy.uninstallBrambleFromPath("/usr/local/bin/bramble", {});
  proxy.applyBooterConfigViaNVRAMWithNewBooterConfig(0x28, {});

  const std::vector<std::pair<std::string, std::string>> expected{
      {"test:", "test"},
      {"terminate", "terminate"},
      {"uninstall:", "uninstall"},
      {"getVersion:", "getVersion"},
      {"repairWithFolder:onTargetVolume:reply:", "repairWithFolder /Library/Extensions/ /Volumes/Mac HD"},
      {"repairDiskPermissionsOnTargetVolume:reply:", "repairDiskPermissionsOnTargetVolume"},
      {"rebuildCachesOnTargetVolume:reply:", "rebuildCachesOnTargetVolume"},
      {"test2:", "test2"},
      {"installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:", "installWithKernelExtensions"},
      {"backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",
       "backupWithKernelExtensions"},
      {"changeMaximumThreadsNumber:reply:", "changeMaximumThreadsNumber"},
      {"installBrambleFromSourcePath:toDestinationPath:reply:", "installBrambleFromSourcePath"},
      {"uninstallBrambleFromPath:reply:", "uninstallBrambleFromPath"},
      {"applyBooterConfigViaNVRAMWithNewBooterConfig:reply:", "applyBooterConfigViaNVRAMWithNewBooterConfig"},
  };
  ASSERT_EQ(sender.bodies.size(), expected.size());
  RecordingHelper helper;
  QLXPCTarnixHelperStub stub(helper);
  std::vector<bool> replies;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto message = wire::decodeMessage(sender.bodies[i], wire::kMaxRequestFrame);
    ASSERT_TRUE(message) << expected[i].first;
    EXPECT_EQ(message->selector, expected[i].first);
    EXPECT_EQ(message->kind == wire::Kind::oneway, expected[i].first == "terminate") << expected[i].first;
    EXPECT_TRUE(stub.dispatch(*message, std::make_shared<RecordingReply>(replies))) << expected[i].first;
    ASSERT_EQ(helper.calls.size(), i + 1);
    EXPECT_EQ(helper.calls.back(), expected[i].second);
  }
}

}  // namespace
}  // namespace tarnix
