#include "platform/Log.h"

#include <atomic>
#include <cstdio>

namespace tarnix::platform {
namespace {
std::atomic<LogSink> gSink{LogSink::standardOutput};

// The length of the valid UTF-8 sequence of two or more bytes starting `text`, or 0: no overlong
// forms, no surrogates, nothing past U+10FFFF.
std::size_t sequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const auto continuation = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xc0) == 0x80; };
  const unsigned lead = byte(0);
  if (lead >= 0xc2 && lead <= 0xdf) return continuation(1) ? 2 : 0;
  if (lead >= 0xe0 && lead <= 0xef) {
    if (!continuation(1) || !continuation(2)) return 0;
    if ((lead == 0xe0 && byte(1) < 0xa0) || (lead == 0xed && byte(1) >= 0xa0)) return 0;
    return 3;
  }
  if (lead >= 0xf0 && lead <= 0xf4) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if ((lead == 0xf0 && byte(1) < 0x90) || (lead == 0xf4 && byte(1) >= 0x90)) return 0;
    return 4;
  }
  return 0;
}

void appendHex(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0f];
}
}  // namespace

void setLogSink(LogSink sink) { gSink.store(sink); }

std::string escapedForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7f) {
      if (byte == '\\') out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte == '\n') {
      out += "\\n", ++i;
    } else if (byte == '\r') {
      out += "\\r", ++i;
    } else if (byte == '\t') {
      out += "\\t", ++i;
    } else if (const std::size_t length = sequenceLength(text.substr(i));
               length > 0 && !(byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0)) {
      out.append(text.substr(i, length));  // U+0080 to U+009F (C1 controls) are escaped below
      i += length;
    } else {
      appendHex(out, byte);
      ++i;
    }
  }
  return out;
}

void diagnostic(std::string_view where, std::string_view text) {
  const LogSink sink = gSink.load();
  if (sink == LogSink::discard) return;
  std::string line = escapedForLog(where);
  line.append(" ").append(escapedForLog(text)).append("\n");
  std::FILE* stream = sink == LogSink::standardError ? stderr : stdout;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace tarnix::platform
