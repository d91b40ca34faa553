// Writes the seed corpus of the BOM fuzzer: a few stores from our writer (one leaf, several
// levels, links and late parents), compact copies of them with a block index no longer than
// needed, and Apple's stores from the real fixtures when they are present.
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/BomWriter.h"
#include "platform/Files.h"

namespace {

using tarnix::BomWriter;

std::uint32_t be32(const std::string& s, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The same store with the unused slots of its block index cut off, which keeps the fuzzer's
// inputs small.
std::string compact(std::string store) {
  const std::size_t table = be32(store, 16);
  const std::uint32_t used = be32(store, 12);
  store.resize(table + 4 + 8 * (std::size_t{used} + 1));
  const std::uint32_t slots = used + 1;
  for (int i = 0; i < 4; ++i) store[table + i] = static_cast<char>(slots >> (24 - 8 * i));
  return store;
}

BomWriter tree(std::uint32_t perLeaf, int files) {
  BomWriter writer;
  writer.setEntriesPerLeaf(perLeaf);
  writer.addPath(".", 040755, 0, 0);
  writer.addPath("./System", 040755, 0, 0);
  writer.addPath("./System/Library", 040755, 0, 0);
  writer.addPath("./System/Library/Extensions", 040755, 0, 0);
  for (int i = 0; i < files; ++i)
    writer.addPath("./System/Library/Extensions/K" + std::to_string(i) + ".kext", 040755, 0, 0);
  writer.addPath("./System/Library/Kernel", 0120755, 0, 0, 0, "Extensions/K0.kext");
  writer.addPath("./System/Library/file", 0100644, 0, 80, 42);
  return writer;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS-DIR [REAL-BOM-DIR]\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  if (int error = tarnix::platform::makeDirectories(out); error != 0) return 1;

  BomWriter late;
  late.addEntry({1, 0, ".", 040755, 0, 0, 0, {}});
  late.addEntry({5, 9, "late", 0100644, 0, 0, 0, {}});
  late.addEntry({9, 1, "Later", 040755, 0, 0, 0, {}});
  const std::pair<const char*, BomWriter> stores[] = {
      {"one-leaf", tree(510, 3)}, {"levels", tree(3, 12)}, {"wide", tree(510, 600)}, {"late-parent", late}};
  int failures = 0;
  for (const auto& [name, writer] : stores) {
    const std::string bytes = writer.serialize();
    failures += tarnix::platform::writeFile(out + "/" + name + ".bom", bytes) != 0;
    failures += tarnix::platform::writeFile(out + "/" + name + "-compact.bom", compact(bytes)) != 0;
  }
  if (argc > 2) {
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(argv[2], error)) {
      if (!file.is_regular_file()) continue;
      std::filesystem::copy_file(file.path(), out + "/real-" + file.path().filename().string(),
                                 std::filesystem::copy_options::overwrite_existing, error);
      failures += error ? 1 : 0;
    }
  }
  return failures == 0 ? 0 : 1;
}
