// Feeds arbitrary bytes to the BOM reader. A successful parse must give records whose paths
// are readable strings; everything else must answer false without touching memory outside
// the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/RZBomParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnix::RZBomParserWrapper wrapper("");
  if (!wrapper.parseBytes(std::string(reinterpret_cast<const char*>(data), size))) {
    if (wrapper.count() != 0 || wrapper.results() != nullptr) __builtin_trap();
    return 0;
  }
  std::size_t sum = 0;
  for (std::uint32_t i = 0; i < wrapper.count(); ++i) {
    const tarnix::RZFileSystemResource& record = wrapper.results()[i];
    sum += std::strlen(record.path) + record.mode + record.uid + record.gid;
    if (record.reserved != 0) __builtin_trap();
  }
  volatile std::size_t sink = sum;
  (void)sink;
  return 0;
}
