#include "bootconfig/QLBootloaderConfig.h"

#include <cstring>
#include <functional>

#include "model/QLPreferences.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {
// Far above any real bootloader configuration; keeps a wrong choice from filling memory.
constexpr std::size_t kLargestConfiguration = 16u << 20;
}  // namespace

std::string QLBootloaderConfig::url() const { return fileURLFromPath(path_); }

std::size_t QLBootloaderConfig::hashValue() const { return std::hash<std::string>{}(url()); }

platform::Plist QLBootloaderConfig::loadDictionary(const std::string& path) {
  const auto bytes = platform::readFile(path, kLargestConfiguration);
  if (!bytes) return {};
  return platform::parseDictionary(*bytes);
}

bool QLBootloaderConfig::save() const { return save(platform::AtomicReplaceHooks{}); }

bool QLBootloaderConfig::save(const platform::AtomicReplaceHooks& hooks) const {
  const std::string xml = platform::toXml(data_.get());
  if (xml.empty()) {
    platform::diagnostic("QLBootloaderConfig::save()", "Error: the configuration could not be written as a property list.");
    return false;
  }
  if (const int error = platform::replaceFileAtomically(path_, xml, 0644, &hooks)) {
    platform::diagnostic("QLBootloaderConfig::save()", "Error: " + path_ + ": " + std::strerror(error));
    return false;
  }
  return true;
}

}  // namespace tarnix
