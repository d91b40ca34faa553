#pragma once
// The identity of the helper: in the daemon the base of the exported object, in the
// applications the description of the helper to install and connect to.
#include <cstddef>
#include <string>

#include "platform/HelperPlatformTable.h"
#include "platform/PropertyList.h"

namespace tarnix {

class QLXPCHelper {
 public:
  static constexpr const char* kIdentifier = "local.quillon.tarnix.helper";

  QLXPCHelper(std::string bundleID, std::string version)
      : bundleIdentifier(std::move(bundleID)), bundleVersion(std::move(version)) {}
  virtual ~QLXPCHelper() = default;

  // From a bundle's information list ("QLXPCHelperBundleIdentifier", "QLXPCHelperBundleVersion").
  // A missing key cannot occur in a sound installation: the process ends with a message.
  static QLXPCHelper initFromInformationList(plist_t informationList);

  std::string bundleIdentifier;
  std::string bundleVersion;

  std::string name() const { return bundleIdentifier + "@" + bundleVersion; }
  // The helper and its service unit are installed: by the package (the packaged helper and
  // unit), or by the install step of a build run from its source tree.
  bool isInstalled(const platform::HelperPlatformTable& table = platform::HelperPlatformTable::current()) const;
  bool checkWithBundleVersion(const std::string& version) const { return version == bundleVersion; }
  std::size_t hashValue() const;
};

}  // namespace tarnix
