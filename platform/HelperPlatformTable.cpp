#include "platform/HelperPlatformTable.h"

#include <cstdlib>

#ifndef TARNIX_BRAMBLE_RSS_KEY
#define TARNIX_BRAMBLE_RSS_KEY ""
#endif

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
  override(table.bundledTool, "TARNIX_BUNDLED_TOOL");
  table.toolKey = TARNIX_BRAMBLE_RSS_KEY;
  override(table.toolKey, "TARNIX_BRAMBLE_KEY", false);
  return table;
}

const HelperPlatformTable& HelperPlatformTable::current() {
  static const HelperPlatformTable table = fromEnvironment();
  return table;
}

}  // namespace tarnix::platform
