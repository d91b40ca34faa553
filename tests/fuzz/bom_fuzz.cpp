// Feeds arbitrary bytes to the BOM reader. A successful parse must give records whose paths
// are readable strings; everything else must answer false without touching memory outside
// the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/RZBomParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnix::RZBomParserWrapper wrapper("");
  if (!wrapper.parseBytes(std::string(reinterpret_cast<const char*>(data), size))) {
    if (wrapper.count() != 0 || wrapper.results() != nullptr) __builtin_trap();
    return 0;
  }
  std::size_t sum = 0;
  std::string path;
  for (std::uint32_t i = 0; i < wrapper.count(); ++i) {
    const tarnix::RZFileSystemResource& record = wrapper.results()[i];
    path.clear();
    wrapper.records()->appendPath(i, path);
    sum += path.size() + record.mode + record.uid + record.gid;
  }
  volatile std::size_t sink = sum;
  (void)sink;
  return 0;
}
