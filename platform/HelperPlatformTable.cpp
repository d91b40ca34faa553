#include "platform/HelperPlatformTable.h"

#include <cstdlib>

namespace tarnix::platform {
namespace {
void override(std::string& field, const char* variable, bool mustBeAbsolute = true) {
  const char* value = std::getenv(variable);
  if (!value || !*value) return;
  if (mustBeAbsolute && value[0] != '/') return;
  field = value;
}
}  // namespace

HelperPlatformTable HelperPlatformTable::fromEnvironment() {
  HelperPlatformTable table;
  override(table.rootPrefix, "TARNIX_ROOT_PREFIX");
  while (!table.rootPrefix.empty() && table.rootPrefix.back() == '/') table.rootPrefix.pop_back();
  override(table.kextcache, "TARNIX_KEXTCACHE");
  override(table.killall, "TARNIX_KILLALL");
  override(table.nvram, "TARNIX_NVRAM");
  override(table.pkexec, "TARNIX_PKEXEC");
  override(table.systemctl, "TARNIX_SYSTEMCTL");
  override(table.bundledHelper, "TARNIX_BUNDLED_HELPER");
  if (const char* groups = std::getenv("TARNIX_ADMIN_GROUPS")) {
    table.adminGroups.clear();
    std::string_view rest(groups);
    while (!rest.empty()) {
      const auto comma = rest.find(',');
      const auto name = rest.substr(0, comma);
      if (!name.empty()) table.adminGroups.emplace_back(name);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return table;
}

const HelperPlatformTable& HelperPlatformTable::current() {
  static const HelperPlatformTable table = fromEnvironment();
  return table;
}

}  // namespace tarnix::platform
