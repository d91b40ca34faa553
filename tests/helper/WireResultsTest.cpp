#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "BinaryPlist.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireResults.h"

namespace tarnix {
namespace {

using namespace std::string_literals;

using Results = std::vector<QLRepairPermissionsRepresentableResult>;

auto fields(const QLRepairPermissionsRepresentableResult& r) {
  return std::tie(r.identifier, r.fileSystemResourcePath, r.attributeMismatchedTypeString, r.currentAttribute,
                  r.correctAttribute, r.newAttribute, r.attributeStatusString);
}

// What libplist builds from the bytes, as XML, for comparing two bodies value by value.
std::string parsedXml(const std::string& body) {
  plist_t root = nullptr;
  plist_from_bin(body.data(), static_cast<std::uint32_t>(body.size()), &root);
  const platform::Plist owned(root);
  return owned ? platform::toXml(owned.get()) : std::string();
}

// What the long way makes of a body: decodeMessage, then unpack.
struct LongWay {
  wire::Kind kind;
  std::uint64_t id;
  Results results;
};
std::optional<LongWay> longWay(std::string_view body, std::size_t frameLimit) {
  auto message = wire::decodeMessage(body, frameLimit);
  if (!message || (message->kind != wire::Kind::reply && message->kind != wire::Kind::part) || message->refusal)
    return std::nullopt;
  auto values = wire::unpack<Results>(message->arguments);
  if (!values) return std::nullopt;
  return LongWay{message->kind, message->id, std::move(std::get<0>(*values))};
}

// The straight read takes a body only where the long way reads the same from it.
void expectReadsAsTheLongWay(std::string_view body, std::size_t frameLimit, const std::string& what) {
  const auto straight = wire::decodeResultsMessage(body, frameLimit);
  if (!straight) return;
  const auto reference = longWay(body, frameLimit);
  ASSERT_TRUE(reference) << what << ": read straight, refused the long way";
  EXPECT_EQ(straight->kind, reference->kind) << what;
  EXPECT_EQ(straight->id, reference->id) << what;
  ASSERT_EQ(straight->results.size(), reference->results.size()) << what;
  for (std::size_t i = 0; i < straight->results.size(); ++i)
    EXPECT_EQ(fields(straight->results[i]), fields(reference->results[i])) << what << " " << i;
}

Results sampleResults(std::size_t count) {
  Results results;
  for (std::size_t i = 0; i < count; ++i)
    results.emplace_back("id-" + std::to_string(i), "/System/Library/F" + std::to_string(i) + ".framework/Versions/A",
                         i % 2 ? "Owner ID Mismatched" : "POSIX Permissions Mismatched", static_cast<std::int64_t>(i),
                         755, 4755, i % 3 ? "Fixed" : "Failed");
  return results;
}

// The writer's bytes read back, through libplist and the frame checks, as the same values
// libplist's own writer gives: the widths of counts, references and offsets, text beyond
// ASCII, numbers of every width and sign.
TEST(WireResults, LibplistReadsBackWhatTheWriterWrote) {
  Results edges{
      {"", "", "Group ID Mismatched", 0, -1, std::numeric_limits<std::int64_t>::min(), "Verified"},
      {"x", "/Volumes/Mac HD/Système/Bibliothèque/日本語/🎉 party.kext", "Owner ID Mismatched", 255, 256, 65536,
       "Fixed"},
      {std::string(300, 'a'), "/p", "Owner ID Mismatched", 0xFFFFFFFFll, 0x100000000ll,
       std::numeric_limits<std::int64_t>::max(), "Failed"},
  };
  for (const auto& [name, results] :
       {std::pair{"none", Results{}}, std::pair{"edges", edges}, std::pair{"one-byte references", sampleResults(20)},
        std::pair{"two-byte references", sampleResults(1000)},
        std::pair{"four-byte references", sampleResults(12000)}}) {
    for (const auto kind : {wire::Kind::reply, wire::Kind::part}) {
      const auto body = wire::encodeResultsMessage(kind, 42, results);
      const auto reference = wire::encodeMessage(kind, 42, "", wire::pack(results));
      EXPECT_EQ(parsedXml(body), parsedXml(reference)) << name;
      auto message = wire::decodeMessage(body, wire::kMaxReplyFrame);
      ASSERT_TRUE(message) << name;
      EXPECT_EQ(message->kind, kind);
      EXPECT_EQ(message->id, 42u);
      auto decoded = wire::unpack<Results>(message->arguments);
      ASSERT_TRUE(decoded) << name;
      ASSERT_EQ(std::get<0>(*decoded).size(), results.size()) << name;
      for (std::size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(fields(std::get<0>(*decoded)[i]), fields(results[i])) << name << " " << i;
      // The receiving side reads this writer's bytes, and libplist's, straight.
      for (const auto& bytes : {body, reference}) {
        auto straight = wire::decodeResultsMessage(bytes, wire::kMaxReplyFrame);
        ASSERT_TRUE(straight) << name;
        EXPECT_EQ(straight->kind, kind);
        EXPECT_EQ(straight->id, 42u);
        ASSERT_EQ(straight->results.size(), results.size()) << name;
        for (std::size_t i = 0; i < results.size(); ++i)
          EXPECT_EQ(fields(straight->results[i]), fields(results[i])) << name << " " << i;
      }
    }
  }
}

// A path is bytes: one that is not UTF-8 comes back byte for byte.
TEST(WireResults, KeepsPathsThatAreNotUtf8) {
  for (const std::string& path : {std::string("/bad/\xff\xfe"), std::string("/over/\xc0\xaf"),
                                  std::string("/cut/\xe6\x97"), std::string("/surrogate/\xed\xa0\x80")}) {
    const Results results{{"i", path, "Owner ID Mismatched", 1, 2, 3, "Fixed"}};
    auto message = wire::decodeMessage(wire::encodeResultsMessage(wire::Kind::reply, 1, results), wire::kMaxReplyFrame);
    ASSERT_TRUE(message);
    auto decoded = wire::unpack<Results>(message->arguments);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::get<0>(*decoded).at(0).fileSystemResourcePath, path);
    const auto straight =
        wire::decodeResultsMessage(wire::encodeResultsMessage(wire::Kind::reply, 1, results), wire::kMaxReplyFrame);
    ASSERT_TRUE(straight);
    EXPECT_EQ(straight->results.at(0).fileSystemResourcePath, path);
  }
}

// A reply of results put together object by object: `change` alters the first result's
// fields (key -> value object; no value leaves the key out) before it is written.
std::string craftedReply(const std::function<void(test::BinaryPlist&, std::map<std::string, std::uint64_t>&)>& change,
                         std::string_view kind = "reply", std::uint64_t id = 7, bool refused = false) {
  test::BinaryPlist plist;
  std::map<std::string, std::uint64_t> first{
      {"$class", plist.ascii("QLRepairPermissionsRepresentableResult")},
      {"identifier", plist.ascii("com.apple.pkg.Core")},
      {"fileSystemResourcePath", plist.ascii("/usr/bin/sudo")},
      {"attributeMismatchedTypeString", plist.ascii("POSIX Permissions Mismatched")},
      {"currentAttribute", plist.integer(0755)},
      {"correctAttribute", plist.integer(04755)},
      {"newAttribute", plist.integer(04755)},
      {"attributeStatusString", plist.ascii("Fixed")}};
  const auto second = first;
  change(plist, first);
  std::vector<std::uint64_t> results;
  for (const auto& fieldsOfOne : {first, second}) {
    std::vector<std::uint64_t> keys, values;
    for (const auto& [key, value] : fieldsOfOne) {
      keys.push_back(plist.ascii(key));
      values.push_back(value);
    }
    results.push_back(plist.dict(keys, values));
  }
  std::vector keys{plist.ascii("kind"), plist.ascii("id"), plist.ascii("arguments")};
  std::vector values{plist.ascii(kind), plist.integer(id), plist.array({plist.array(results)})};
  if (refused) {
    keys.push_back(plist.ascii("refusal"));
    values.push_back(plist.ascii("unauthorized"));
  }
  return plist.bytes(plist.dict(keys, values));
}

// What the straight read leaves to the long way: every shape but the usual one, and whatever
// the long way would refuse or read otherwise.
TEST(WireResults, LeavesEveryOtherShapeToTheLongWay) {
  using Fields = std::map<std::string, std::uint64_t>;
  const auto unchanged = [](test::BinaryPlist&, Fields&) {};
  const auto utf16 = [](std::initializer_list<std::uint16_t> units) {
    std::string bytes(1, static_cast<char>(0x60 | units.size()));
    for (const auto unit : units) bytes += test::BinaryPlist::bigEndian(unit, 2);
    return bytes;
  };
  const std::string longPath(2000, 'p');
  const struct {
    const char* what;
    std::string body;
    std::size_t frameLimit = wire::kMaxReplyFrame;
  } cases[] = {
      {"a number left out (the long way reads 0)", craftedReply([](auto&, Fields& f) { f.erase("newAttribute"); })},
      {"a key of no result", craftedReply([](auto& p, Fields& f) { f["extra"] = p.ascii("x"); })},
      {"another class", craftedReply([](auto& p, Fields& f) { f["$class"] = p.ascii("NSObject"); })},
      {"a path holding a NUL",
       craftedReply([](auto& p, Fields& f) { f["fileSystemResourcePath"] = p.raw("\x54/a\0b"s); })},
      {"half a surrogate pair", craftedReply([&](auto& p, Fields& f) {
         f["fileSystemResourcePath"] = p.raw(utf16({'/', 0xD83C}));
       })},
      {"a lone low surrogate", craftedReply([&](auto& p, Fields& f) {
         f["fileSystemResourcePath"] = p.raw(utf16({0xDF89, '/'}));
       })},
      {"a NUL in UTF-16", craftedReply([&](auto& p, Fields& f) {
         f["identifier"] = p.raw(utf16({'a', 0}));
       })},
      {"a 16-byte number", craftedReply([](auto& p, Fields& f) {
         f["currentAttribute"] = p.raw("\x14" + std::string(15, '\0') + "\x01");
       })},
      {"text for a number", craftedReply([](auto& p, Fields& f) { f["correctAttribute"] = p.ascii("755"); })},
      {"a number for text", craftedReply([](auto& p, Fields& f) { f["attributeStatusString"] = p.integer(1); })},
      {"a refusal beside the values", craftedReply(unchanged, "reply", 7, true)},
      {"a call", craftedReply(unchanged, "call")},
      {"an id of 0", craftedReply(unchanged, "reply", 0)},
      {"an id beyond 2^53", craftedReply(unchanged, "part", (1ull << 53) + 1)},
      {"one path shared beyond the frame's bounds",
       craftedReply([&](auto& p, Fields& f) { f["fileSystemResourcePath"] = p.ascii(longPath); }), 2200},
      {"a body beyond the frame limit", craftedReply(unchanged), 100},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(wire::decodeResultsMessage(c.body, c.frameLimit)) << c.what;
    expectReadsAsTheLongWay(c.body, c.frameLimit, c.what);
  }
  // The same reply with nothing changed is read straight, and as the long way reads it.
  const auto plain = craftedReply(unchanged, "part");
  ASSERT_TRUE(wire::decodeResultsMessage(plain, wire::kMaxReplyFrame));
  expectReadsAsTheLongWay(plain, wire::kMaxReplyFrame, "plain");

  // The results list holding itself.
  test::BinaryPlist plist;
  const auto loop = plist.raw("");
  plist.replace(loop, plist.arrayBytes({loop}));
  const auto cycle = plist.bytes(plist.dict({plist.ascii("kind"), plist.ascii("id"), plist.ascii("arguments")},
                                            {plist.ascii("reply"), plist.integer(1), plist.array({loop})}));
  EXPECT_FALSE(wire::decodeResultsMessage(cycle, wire::kMaxReplyFrame));
}

// Every byte of a small reply set to every value, and every length it could be cut to: what
// the straight read still takes, the long way reads the same.
TEST(WireResults, ReadsNothingTheLongWayReadsOtherwise) {
  const Results results{{"x", "/Volumes/Mac HD/Système/🎉.kext", "Owner ID Mismatched", 0, -1, 65536, "Fixed"},
                        {"y", "/usr/bin/sudo", "Owner ID Mismatched", 255, 256, 4755, "Failed"}};
  const auto body = wire::encodeResultsMessage(wire::Kind::part, 9, results);
  for (std::size_t at = 0; at < body.size(); ++at) {
    for (int change = 0; change < 256; ++change) {
      std::string broken = body;
      broken[at] = static_cast<char>(change);
      expectReadsAsTheLongWay(broken, wire::kMaxReplyFrame,
                              "byte " + std::to_string(at) + " " + std::to_string(change));
    }
    expectReadsAsTheLongWay(std::string_view(body).substr(0, at), wire::kMaxReplyFrame, "cut " + std::to_string(at));
  }
}

// Calls say whether they take parts; only calls do, and only when asked.
TEST(WireMessage, CarriesPartsAndTheAskForThem) {
  const auto asking = wire::decodeMessage(
      wire::encodeMessage(wire::Kind::call, 3, "test:", wire::pack(), std::nullopt, true), wire::kMaxRequestFrame);
  ASSERT_TRUE(asking);
  EXPECT_TRUE(asking->acceptsParts);
  const auto plain =
      wire::decodeMessage(wire::encodeMessage(wire::Kind::call, 3, "test:", wire::pack()), wire::kMaxRequestFrame);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->acceptsParts);
  // A part needs an id like a reply.
  EXPECT_FALSE(wire::decodeMessage(wire::encodeMessage(wire::Kind::part, 0, "", wire::pack()), wire::kMaxReplyFrame));
}

}  // namespace
}  // namespace tarnix
