#include <gtest/gtest.h>

#include "BinaryPlist.h"
#include "TestSupport.h"
#include "platform/PropertyList.h"

namespace tarnix {
namespace {

using platform::PlistBounds;
using test::BinaryPlist;

constexpr PlistBounds kRoomy{1u << 20, 64, 64u << 20};

std::string binaryOf(const std::string& path) {
  const auto tree = platform::parsePropertyList(test::slurp(path));
  return tree ? platform::toBinary(tree.get()) : std::string();
}

// The check passes exactly the trees libplist builds within the bounds: each input passes at
// its own measured size and is refused one node or one level below it.
TEST(BinaryPlistBounds, PassesExactlyWhatFitsTheBounds) {
  BinaryPlist shared;  // one string in many places, one array in two
  const auto text = shared.ascii("Permissions differ");
  const auto inner = shared.array(std::vector<std::uint64_t>(1000, text));
  const auto sharedBody = shared.bytes(shared.array({inner, inner, shared.ascii("x")}));

  const std::pair<std::string, std::string> inputs[] = {
      {"receipt written by Apple", test::slurp(test::realFixture("receipts/io.osquery.agent.plist"))},
      {"kext list", binaryOf(test::realFixture("kext/AppleALC.kext-Info.plist"))},
      {"boot configuration", binaryOf(test::realFixture("opencore/Sample.plist"))},
      {"shared objects", sharedBody},
  };
  for (const auto& [name, body] : inputs) {
    if (body.empty()) continue;  // fixtures not beside the repository
    const auto tree = platform::parseBinaryPropertyList(body, kRoomy);
    ASSERT_TRUE(tree) << name;
    const auto size = test::treeSize(tree.get());
    const PlistBounds exact{static_cast<std::uint32_t>(size.nodes), static_cast<std::uint16_t>(size.depth),
                            kRoomy.bytes};
    EXPECT_EQ(platform::binaryPlistRefusal(body, exact), std::nullopt) << name;
    PlistBounds fewerNodes = exact, shallower = exact;
    --fewerNodes.nodes, --shallower.depth;
    EXPECT_NE(platform::binaryPlistRefusal(body, fewerNodes), std::nullopt) << name;
    EXPECT_NE(platform::binaryPlistRefusal(body, shallower), std::nullopt) << name;
  }
  // Text counts at every place it appears, UTF-16 as the UTF-8 it becomes.
  BinaryPlist texts;
  const auto unicode = texts.raw(std::string("\x64\x00\xe9\x65\xe5\xd8\x3d\xde\x00", 9));  // é日😀: 2+3+4 bytes
  const auto body = texts.bytes(texts.array({unicode, unicode, texts.ascii("abc")}));
  const auto tree = platform::parseBinaryPropertyList(body, kRoomy);
  ASSERT_TRUE(tree);
  ASSERT_EQ(test::treeSize(tree.get()).bytes, 21u);
  EXPECT_EQ(platform::binaryPlistRefusal(body, {4, 1, 21}), std::nullopt);
  EXPECT_NE(platform::binaryPlistRefusal(body, {4, 1, 20}), std::nullopt);
}

struct Case {
  const char* name;
  std::string body;
  const char* refusal;  // part of the reason given
};

// `body` with one field of its trailer (at `field` of its 32 bytes) replaced.
std::string withTrailer(std::string body, std::size_t field, std::uint64_t value, unsigned width = 8) {
  body.replace(body.size() - 32 + field, width, BinaryPlist::bigEndian(value, width));
  return body;
}

TEST(BinaryPlistBounds, RefusesHostileAndBrokenInput) {
  const std::string small = [] {
    BinaryPlist plist;
    return plist.bytes(plist.array({plist.ascii("a"), plist.ascii("b")}));
  }();
  // A subtree 30 deep, first met near the top and then again 30 levels down: what it grew to the
  // first time must still count at the second place.
  const std::string deepTwice = [] {
    BinaryPlist plist;
    std::uint64_t chain = plist.array({});
    for (int i = 0; i < 29; ++i) chain = plist.array({chain});
    std::uint64_t lower = chain;
    for (int i = 0; i < 30; ++i) lower = plist.array({lower});
    return plist.bytes(plist.array({chain, lower}));
  }();
  const std::string selfCycle = [] {
    BinaryPlist plist;
    const auto loop = plist.raw("");
    plist.replace(loop, plist.arrayBytes({loop}));
    return plist.bytes(loop);
  }();
  const std::string longCycle = [] {
    BinaryPlist plist;
    const auto first = plist.raw("");
    const auto second = plist.array({first});
    plist.replace(first, plist.arrayBytes({plist.ascii("x"), second}));
    return plist.bytes(plist.array({first}));
  }();
  const std::string bigText = [] {
    BinaryPlist plist(1, 4);
    const auto text = plist.ascii(std::string(100000, 'x'));
    return plist.bytes(plist.array(std::vector<std::uint64_t>(1000, text)));  // 100 MB of text once built
  }();
  const auto single = [](std::string object) {
    BinaryPlist plist;
    return plist.bytes(plist.raw(std::move(object)));
  };
  const std::string huge = BinaryPlist::bigEndian(1ull << 62, 8);

  const Case cases[] = {
      {"doubling", test::doublingPlist(24), "values once expanded"},
      {"deep", test::deepPlist(120000), "nested deeper"},
      {"deep twice", deepTwice, "nested deeper"},
      {"cycle of one", selfCycle, "cycle"},
      {"cycle of two", longCycle, "cycle"},
      {"text once expanded", bigText, "bytes once expanded"},
      {"not a binary list", "<plist><array/></plist>" + std::string(40, ' '), "not a binary"},
      {"truncated trailer", small.substr(0, small.size() - 5), ""},
      {"trailer only", small.substr(0, 8) + small.substr(small.size() - 32), "offset table"},
      {"reference width 0", withTrailer(small, 7, 0, 1), "widths"},
      {"offset width 9", withTrailer(small, 6, 9, 1), "widths"},
      {"no objects", withTrailer(small, 8, 0), "root object"},
      {"root out of range", withTrailer(small, 16, 3), "root object"},
      {"object count that overflows the table", withTrailer(small, 8, 1ull << 63), "offset table"},
      {"table before the header", withTrailer(small, 24, 4), "offset table"},
      {"table past the data", withTrailer(small, 24, small.size()), "offset table"},
      {"object offset into the table",
       [&] {
         std::string body = small;  // three objects, offsets of 2 bytes: the root's offset is the table's
         return body.replace(body.size() - 34, 2, BinaryPlist::bigEndian(body.size() - 38, 2));
       }(),
       "offset out of range"},
      {"reference out of range", single(std::string("\xa1\x07", 2)), "reference out of range"},
      {"array longer than the objects", single("\xaf\x13" + huge), "references beyond"},
      {"dictionary whose entries overflow", single("\xdf\x13" + BinaryPlist::bigEndian(1ull << 63, 8)),
       "references beyond"},
      {"text longer than the objects", single("\x5f\x13" + huge), "beyond the objects"},
      {"UTF-16 text whose size overflows", single("\x6f\x13" + BinaryPlist::bigEndian(~0ull, 8)), "beyond the objects"},
      {"length of 16 bytes", single("\x5f\x14" + std::string(16, '\0')), "malformed length"},
      {"length that is no integer", single("\x5f\x50"), "malformed length"},
      {"unknown type", single("\x70"), "unknown type"},
  };
  const PlistBounds bounds{1u << 17, 32, 4u << 20};
  for (const auto& [name, body, refusal] : cases) {
    const auto why = platform::binaryPlistRefusal(body, bounds);
    ASSERT_TRUE(why) << name;
    EXPECT_NE(why->find(refusal), std::string::npos) << name << ": " << *why;
    std::string reported;
    EXPECT_FALSE(platform::parseBinaryPropertyList(body, bounds, &reported)) << name;
    EXPECT_EQ(reported, *why) << name;
  }
}

// Configuration, receipt and bundle files go through the same check.
TEST(BinaryPlistBounds, GuardsEveryBinaryFile) {
  EXPECT_FALSE(platform::parsePropertyList(test::doublingPlist(24)));
  EXPECT_FALSE(platform::parsePropertyList(test::deepPlist(1000)));
  EXPECT_TRUE(platform::parseDictionary(test::deepPlist(40)));
}

// `levels` arrays, each inside the next, with `inside` in the innermost.
std::string nestedArrays(std::size_t levels, const std::string& inside = "") {
  std::string text;
  for (std::size_t i = 0; i < levels; ++i) text += "<array>";
  text += inside;
  for (std::size_t i = 0; i < levels; ++i) text += "</array>";
  return text;
}

std::string xmlPlist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" +
         body + "</plist>\n";
}

// What the check lets through, libplist builds as it would without it; what libplist skips
// (comments, CDATA, processing instructions, the DOCTYPE) the check skips too, never more: an
// element hidden from the check where libplist reads it would let the parser recurse unseen.
TEST(XmlPlistBounds, SkipsExactlyWhatLibplistSkips) {
  const PlistBounds bounds{1u << 16, 16, 1u << 22};
  struct XmlCase {
    const char* name;
    std::string text;
    const char* refusal;  // nullptr: passes
  };
  const std::string deep = nestedArrays(20);
  std::string many;
  for (int i = 0; i < 70000; ++i) many += "<true/>";
  const XmlCase cases[] = {
      {"real kext", test::slurp(test::realFixture("kext/AppleALC.kext-Info.plist")), nullptr},
      {"real Clover configuration", test::slurp(test::realFixture("clover/config-sample.plist")), nullptr},
      {"real OpenCore configuration", test::slurp(test::realFixture("opencore/Sample.plist")), nullptr},
      {"real Chameleon configuration", test::slurp(test::realFixture("chameleon/lemu4-org.chameleon.Boot.plist")),
       nullptr},
      // The <plist> element and a text element count as levels; an empty element is none.
      {"sixteen levels", xmlPlist(nestedArrays(14, "<string>x</string>")), nullptr},
      {"sixteen levels and an empty element", xmlPlist(nestedArrays(15, "<true/>")), nullptr},
      {"seventeen levels", xmlPlist(nestedArrays(15, "<string>x</string>")), "nested deeper than 16"},
      {"deep", xmlPlist(nestedArrays(200000)), "nested deeper than 16"},
      {"many", xmlPlist(nestedArrays(1, many)), "more than 65536 elements"},
      {"long", xmlPlist("<string>" + std::string(1u << 22, 'x') + "</string>"), "more than 4194304 bytes"},
      // Skipped by both.
      {"nesting in a comment", xmlPlist("<array><!-- " + deep + " --></array>"), nullptr},
      {"nesting in CDATA", xmlPlist("<array><string><![CDATA[" + deep + "]]></string></array>"), nullptr},
      {"nesting in a quoted attribute", xmlPlist("<array a=\"" + deep + "\"/>"), nullptr},
      {"nesting in a DOCTYPE's own rules", "<!DOCTYPE plist [ <!ENTITY a \"" + deep + "\"> ]><plist><array/></plist>",
       nullptr},
      // Read by libplist after what a looser reading would still take for skipped text.
      {"after a comment holding a quote", xmlPlist("<array><!-- \" -->" + deep + "<!-- \" --></array>"),
       "nested deeper"},
      {"after CDATA holding a quote",
       xmlPlist("<array><string><![CDATA[\"]]></string>" + deep + "<string><![CDATA[\"]]></string></array>"),
       "nested deeper"},
      {"after a quoted end of a processing instruction", "<?xml a=\"?>\" ?><plist>" + deep + "</plist>",
       "nested deeper"},
      {"after a DOCTYPE whose rules quote its end", "<!DOCTYPE x [ \"]>\" ]><plist>" + deep + "</plist>",
       "nested deeper"},
      {"after a quoted '>' in a tag", xmlPlist("<array a=\">\">" + deep + "</array>"), "nested deeper"},
      {"behind a comment's end in a tag", xmlPlist("<array a=\"-->\">" + deep + "</array>"), "nested deeper"},
      // Malformed: refused rather than guessed at.
      {"closing tag of another element", xmlPlist("<array></dict>"), "matches none"},
      {"closing tag with more in it", xmlPlist("<array></array x>"), "malformed closing tag"},
      {"unfinished comment", xmlPlist("<array><!-- </array>"), "unfinished comment"},
      {"unfinished CDATA", xmlPlist("<string><![CDATA[x</string>"), "unfinished CDATA"},
      {"unknown markup", "<!ELEMENT plist ANY><plist><array/></plist>", "unknown kind"},
      {"tag without its end", "<plist><array", "without its end"},
      {"tag with a '<' in it", "<plist><array a<b></array></plist>", "without its end"},
      {"unmatched quote", "<plist><array a=\"></array></plist>", "without its end"},
      {"nameless tag", "<plist>< array/></plist>", "without a name"},
  };
  for (const auto& [name, text, refusal] : cases) {
    if (text.empty()) continue;  // fixtures not beside the repository
    const auto why = platform::xmlPlistRefusal(text, bounds);
    if (!refusal) {
      EXPECT_EQ(why, std::nullopt) << name;
      plist_t direct = nullptr;
      plist_from_xml(text.data(), static_cast<std::uint32_t>(text.size()), &direct);
      const platform::Plist expected(direct);
      const auto checked = platform::parseXmlPropertyList(text, bounds);
      ASSERT_TRUE(expected && checked) << name;
      EXPECT_EQ(platform::toXml(checked.get()), platform::toXml(expected.get())) << name;
      continue;
    }
    ASSERT_TRUE(why) << name;
    EXPECT_NE(why->find(refusal), std::string::npos) << name << ": " << *why;
    std::string reported;
    EXPECT_FALSE(platform::parseXmlPropertyList(text, bounds, &reported)) << name;
    EXPECT_EQ(reported, *why) << name;
  }
}

// Unchecked, 200,000 nested arrays (3.4 MB, within the read limit of a receipt) overflow
// libplist's stack and end the process: a crafted volume could crash the root helper.
TEST(XmlPlistBounds, GuardsEveryXmlFile) {
  EXPECT_FALSE(platform::parsePropertyList(xmlPlist(nestedArrays(200000))));
  EXPECT_TRUE(platform::parseDictionary(xmlPlist("<dict><key>k</key>" + nestedArrays(40) + "</dict>")));
  for (const char* fixture : {"chameleon/osx-kvm-org.chameleon.Boot.plist", "kext/Lilu.kext-Info.plist",
                              "systemversion/SystemVersion-10.13-17A315g.plist"}) {
    const std::string text = test::slurp(test::realFixture(fixture));
    if (text.empty()) continue;  // fixtures not beside the repository
    EXPECT_TRUE(platform::parseDictionary(text)) << fixture;
  }
}

}  // namespace
}  // namespace tarnix
