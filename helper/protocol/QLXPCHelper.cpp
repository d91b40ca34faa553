#include "helper/protocol/QLXPCHelper.h"

#include <cstdlib>
#include <functional>

#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {

QLXPCHelper QLXPCHelper::initFromInformationList(plist_t informationList) {
  auto identifier =
      informationList ? platform::dictString(informationList, "QLXPCHelperBundleIdentifier") : std::nullopt;
  if (!identifier) {
    platform::diagnostic("QLXPCHelper::init()",
                         "Error: `QLXPCHelperBundleIdentifier` key is not defined in the Info.plist file.");
    std::exit(EXIT_FAILURE);
  }
  auto version = platform::dictString(informationList, "QLXPCHelperBundleVersion");
  if (!version) {
    platform::diagnostic("QLXPCHelper::init()",
                         "Error: `QLXPCHelperBundleVersion` key is not defined in the Info.plist file.");
    std::exit(EXIT_FAILURE);
  }
  return QLXPCHelper(std::move(*identifier), std::move(*version));
}

bool QLXPCHelper::isInstalled(const platform::HelperPlatformTable& table) const {
  const bool packaged = platform::pathExists(table.installed(table.bundledHelper)) &&
                        platform::pathExists(table.installed(table.packagedServiceUnit));
  return packaged || (platform::pathExists(table.helperBinary(bundleIdentifier)) &&
                      platform::pathExists(table.serviceUnit(bundleIdentifier)));
}

std::size_t QLXPCHelper::hashValue() const { return std::hash<std::string>{}(bundleIdentifier + "_" + bundleVersion); }

}  // namespace tarnix
