#include "platform/Processor.h"

#include <unistd.h>

#include <charconv>
#include <set>
#include <utility>

#include "platform/Files.h"

namespace tarnix::platform {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::optional<std::int64_t> number(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ProcessorInfo parseCpuInfo(std::string_view text) {
  ProcessorInfo info;
  std::int64_t processors = 0;
  std::optional<std::int64_t> coresPerPackage;
  std::set<std::int64_t> packages;
  std::set<std::pair<std::int64_t, std::int64_t>> cores;
  std::int64_t physicalId = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = trim(line.substr(0, colon));
    const std::string_view value = trim(line.substr(colon + 1));
    if (key == "processor") {
      ++processors;
      physicalId = 0;
    } else if (key == "model name" && !info.brand) {
      if (value.size() < 100) info.brand = std::string(value);
    } else if (key == "physical id") {
      if (auto id = number(value)) {
        physicalId = *id;
        packages.insert(*id);
      }
    } else if (key == "core id") {
      if (auto id = number(value)) cores.emplace(physicalId, *id);
    } else if (key == "cpu cores" && !coresPerPackage) {
      coresPerPackage = number(value);
    }
  }
  if (processors > 0) info.threads = processors;
  if (!cores.empty())
    info.cores = static_cast<std::int64_t>(cores.size());
  else if (coresPerPackage)
    info.cores = *coresPerPackage * std::max<std::int64_t>(1, static_cast<std::int64_t>(packages.size()));
  return info;
}

ProcessorInfo probeProcessor() {
  const auto text = readFile("/proc/cpuinfo", 16u << 20);
  return text ? parseCpuInfo(*text) : ProcessorInfo{};
}

int onlineProcessorCount() {
  const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace tarnix::platform
