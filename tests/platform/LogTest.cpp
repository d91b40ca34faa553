#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Log.h"

namespace tarnix {
namespace {

using namespace std::string_literals;

TEST(Log, EscapesWhatALogReaderWouldActOn) {
  const std::pair<std::string, std::string> cases[] = {
      {"/Volumes/Mac HD", "/Volumes/Mac HD"},
      {"a\nQLXPCHelperListener::run() Listening.", "a\\nQLXPCHelperListener::run() Listening."},
      {"\r\t", "\\r\\t"},
      {"nul\0byte"s, "nul\\x00byte"},
      {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
      {"C:\\n", "C:\\\\n"},  // a backslash cannot pass for an escape
      {"Caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80", "Caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80"},
      {"\xc2\x9b"
       "1m",
       "\\xc2\\x9b1m"},                                         // C1 control (CSI)
      {"\xc2\xa0", "\xc2\xa0"},                                 // the first character past them
      {"\xff\xfe", "\\xff\\xfe"},                               // never UTF-8
      {"cut \xc3", "cut \\xc3"},                                // truncated sequence
      {"\xc3(", "\\xc3("},                                      // lead byte without its continuation
      {"\xc0\xaf \xe0\x80\xaf", "\\xc0\\xaf \\xe0\\x80\\xaf"},  // overlong '/'
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                      // surrogate
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},             // past U+10FFFF
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(platform::escapedForLog(text), expected) << expected;
}

TEST(Log, ClientTextCannotForgeALine) {
  testing::internal::CaptureStdout();
  platform::diagnostic("QLXPCTarnixHelper::rebuildCachesOnTargetVolume()",
                       "Refused volume /tmp/x\nQLXPCHelperListener::run() Listening.\r.");
  const std::string written = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1);
  EXPECT_EQ(written,
            "QLXPCTarnixHelper::rebuildCachesOnTargetVolume() Refused volume /tmp/x\\nQLXPCHelperListener::run() "
            "Listening.\\r.\n");
}

}  // namespace
}  // namespace tarnix
