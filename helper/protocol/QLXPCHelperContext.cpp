#include "helper/protocol/QLXPCHelperContext.h"

#include <charconv>
#include <functional>

namespace tarnix {

std::size_t QLXPCHelperContext::hashValue() const {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, progress).ptr;
  return std::hash<std::string>{}(status + "_" + std::string(buffer, end));
}

}  // namespace tarnix
