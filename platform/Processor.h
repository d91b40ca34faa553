#pragma once
// What the machine's processor is, from /proc/cpuinfo and the online processor count.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix::platform {

struct ProcessorInfo {
  std::optional<std::string> brand;     // "model name"
  std::optional<std::int64_t> cores;    // physical cores of the machine
  std::optional<std::int64_t> threads;  // hardware threads of the machine
};

// Parses the text of /proc/cpuinfo. Cores are counted over distinct (physical id, core id)
// pairs, or from "cpu cores" × packages when those are missing; threads are the processor
// entries. A brand longer than 99 bytes is absent, as the processor's own register would be.
ProcessorInfo parseCpuInfo(std::string_view text);

ProcessorInfo probeProcessor();

// Number of logical processors online, at least 1.
int onlineProcessorCount();

}  // namespace tarnix::platform
