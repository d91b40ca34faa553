#include "model/QLCPU.h"

#include "platform/Processor.h"

namespace tarnix {

QLCPU::QLCPU(std::optional<std::string> brand, std::optional<std::int64_t> cores, std::optional<std::int64_t> threads,
             std::int64_t processorCount)
    : name(std::move(brand)), numcore(cores), numthread(threads), maxthread_(processorCount) {}

QLCPU& QLCPU::shared() {
  static QLCPU cpu = [] {
    const auto info = platform::probeProcessor();
    return QLCPU(info.brand, info.cores, info.threads, platform::onlineProcessorCount());
  }();
  return cpu;
}

std::string QLCPU::infoString() const {
  return name.value_or("Unknown") + " " + std::to_string(numcore.value_or(0)) + "C" +
         std::to_string(numthread.value_or(0)) + "T";
}

}  // namespace tarnix
