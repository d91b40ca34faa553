#include <gtest/gtest.h>

#include <tuple>

#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireResults.h"

namespace tarnix {
namespace {

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
