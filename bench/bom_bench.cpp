// Parsing a BOM store of a million records, the size of a whole system's receipts put
// together. Baseline: reading the same file into memory, which the parse has to do anyway.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <string>

#include "engine/BomWriter.h"
#include "engine/RZBomParser.h"
#include "platform/Files.h"

namespace {

constexpr std::uint32_t kRecords = 1'000'000;

// A system-shaped tree: frameworks with versioned resources and localizations, kexts with
// plug-ins, and manual pages, until the store holds kRecords entries.
tarnix::BomWriter millionRecords() {
  static const char* const kLanguages[] = {"English", "French", "German", "Japanese", "Spanish",
                                           "Italian", "Dutch",  "zh_CN",  "ko",       "pt_BR"};
  static const char* const kResources[] = {"Info.plist",        "version.plist", "Localizable.strings",
                                           "InfoPlist.strings", "MainMenu.nib",  "Icon.icns"};
  tarnix::BomWriter writer;
  auto add = [&](const std::string& path, std::uint16_t mode, std::uint32_t gid = 0) {
    return writer.size() < kRecords && writer.addPath(path, mode, 0, gid, mode & 040000 ? 0 : 4096);
  };
  const std::uint16_t dir = 040755, file = 0100644, tool = 0100755;
  add(".", dir);
  add("./System", dir);
  add("./System/Library", dir);
  add("./System/Library/Frameworks", dir);
  add("./System/Library/Extensions", dir);
  add("./usr", dir);
  add("./usr/share", dir);
  add("./usr/share/man", dir);
  add("./usr/share/man/man1", dir);
  for (int n = 0; writer.size() < kRecords; ++n) {
    const std::string name = "Kit" + std::to_string(n);
    const std::string fw = "./System/Library/Frameworks/" + name + ".framework";
    add(fw, dir);
    add(fw + "/Versions", dir);
    add(fw + "/Versions/A", dir);
    add(fw + "/Versions/A/" + name, tool);
    add(fw + "/Versions/A/Resources", dir);
    for (const char* resource : kResources) add(fw + "/Versions/A/Resources/" + resource, file);
    for (const char* language : kLanguages) {
      const std::string lproj = fw + "/Versions/A/Resources/" + language + ".lproj";
      add(lproj, dir);
      add(lproj + "/Localizable.strings", file);
      add(lproj + "/InfoPlist.strings", file);
    }
    if (writer.size() < kRecords) writer.addPath(fw + "/" + name, 0120755, 0, 0, 0, "Versions/Current/" + name);
    const std::string kext = "./System/Library/Extensions/Apple" + name + "Driver.kext";
    add(kext, dir);
    add(kext + "/Contents", dir);
    add(kext + "/Contents/Info.plist", file);
    add(kext + "/Contents/MacOS", dir);
    add(kext + "/Contents/MacOS/Apple" + name + "Driver", file);
    add(kext + "/Contents/PlugIns", dir, 0);
    add("./usr/share/man/man1/" + name + ".1", file, 80);
  }
  return writer;
}

// Written once per run into a temporary file, removed at exit.
char storePath[] = "/tmp/tarnix-bench-bom-XXXXXX";
const std::string& storeFile() {
  static const std::string path = [] {
    const int fd = mkstemp(storePath);
    if (fd < 0) std::abort();
    close(fd);
    std::atexit([] { unlink(storePath); });
    if (tarnix::platform::writeFile(storePath, millionRecords().serialize()) != 0) std::abort();
    return std::string(storePath);
  }();
  return path;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Fastest of a few reads of the file, for the ratio.
double readBaseline() {
  static const double best = [] {
    double fastest = 1e9;
    for (int i = 0; i < 5; ++i) {
      const auto start = std::chrono::steady_clock::now();
      auto bytes = tarnix::platform::readFile(storeFile(), std::size_t{2} << 30);
      benchmark::DoNotOptimize(bytes);
      fastest = std::min(fastest, seconds(std::chrono::steady_clock::now() - start));
    }
    return fastest;
  }();
  return best;
}

void BM_ReadFile(benchmark::State& state) {
  const std::string& path = storeFile();
  for (auto _ : state) {
    auto bytes = tarnix::platform::readFile(path, std::size_t{2} << 30);
    if (!bytes) state.SkipWithError("cannot read the store");
    benchmark::DoNotOptimize(bytes);
  }
}

// The whole parse as the package manager runs it: read the file, record every entry's name
// beside its parent record and its prescription.
void BM_ParseMillionRecords(benchmark::State& state) {
  const std::string& path = storeFile();
  const double baseline = readBaseline();
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto wrapper = tarnix::RZBomParserWrapper::initWithFileName(path);
    if (!wrapper->parse() || wrapper->count() != kRecords) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(wrapper->results());
    total += seconds(std::chrono::steady_clock::now() - start);
  }
  state.counters["records"] = kRecords;
  state.counters["x_read"] = total / static_cast<double>(state.iterations()) / baseline;
}

// The parse alone, from bytes already in memory.
void BM_ParseBytesMillionRecords(benchmark::State& state) {
  const auto bytes = tarnix::platform::readFile(storeFile(), std::size_t{2} << 30);
  for (auto _ : state) {
    state.PauseTiming();
    std::string copy = *bytes;
    tarnix::RZBomParserWrapper wrapper("");
    state.ResumeTiming();
    if (!wrapper.parseBytes(std::move(copy))) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(wrapper.results());
  }
  state.counters["records"] = kRecords;
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kSecond)->MinTime(1.0);
BENCHMARK(BM_ParseMillionRecords)->Unit(benchmark::kSecond)->MinTime(2.0);
BENCHMARK(BM_ParseBytesMillionRecords)->Unit(benchmark::kSecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
