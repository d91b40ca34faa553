#include "platform/Log.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace tarnix::platform {
namespace {
std::atomic<LogSink> gSink{LogSink::standardOutput};
}

void setLogSink(LogSink sink) { gSink.store(sink); }

void diagnostic(std::string_view where, std::string_view text) {
  const LogSink sink = gSink.load();
  if (sink == LogSink::discard) return;
  std::string line;
  line.reserve(where.size() + text.size() + 2);
  line.append(where).append(" ").append(text).append("\n");
  std::FILE* stream = sink == LogSink::standardError ? stderr : stdout;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace tarnix::platform
