#pragma once
// Where the helper's installed files live and which programs it starts. Installed files sit
// under `rootPrefix` (empty on a real system) so tests can install into a temporary folder;
// every program path can be pointed elsewhere from the environment (tests use scripts).
#include <string>

#include "platform/InstallPaths.h"

namespace tarnix::platform {

struct HelperPlatformTable {
  std::string rootPrefix;  // TARNIX_ROOT_PREFIX

  // Installed files, without the prefix.
  std::string helperToolsFolder = "/usr/local/libexec/";
  std::string unitsFolder = "/etc/systemd/system/";
  std::string socketPath = "/run/local.quillon.tarnix.helper.socket";
  std::string toolPath = "/usr/local/bin/Bramble";
  // The journal of changes that belong to no volume (firmware variables, bootloader files),
  // written by root; TARNIX_SYSTEM_JOURNAL names another, for every user (tests).
  std::string systemJournalFolder = "/var/lib/tarnix/journal";
  bool systemJournalForEveryone = false;

  // Programs, absolute (TARNIX_KEXTCACHE, TARNIX_KILLALL, TARNIX_NVRAM, TARNIX_PKEXEC,
  // TARNIX_SYSTEMCTL, TARNIX_BUNDLED_HELPER).
  std::string kextcache = "/usr/sbin/kextcache";
  std::string killall = "/usr/bin/killall";
  std::string nvram = kInstalledNvramTool;
  std::string pkexec = "/usr/bin/pkexec";
  std::string systemctl = "/usr/bin/systemctl";
  // The copy of the helper shipped with the applications, which the install step copies.
  std::string bundledHelper = kInstalledBundledHelper;
  // The packaged copy of the command-line tool, the one source the tool install takes besides
  // a signed feed archive (TARNIX_BUNDLED_TOOL).
  std::string bundledTool = kInstalledBundledTool;
  // The public key (base64 Ed25519) that signs the feed's archives; built in beside the feed's
  // address. Empty: no archive is ever installed (TARNIX_BRAMBLE_KEY).
  std::string toolKey{};
  // The packaged service unit: where a package installs it (kInstalledServiceUnit).
  std::string packagedServiceUnit = kInstalledServiceUnit;

  // An installed path under the prefix.
  std::string installed(const std::string& path) const { return rootPrefix + path; }
  std::string helperBinary(const std::string& identifier) const { return installed(helperToolsFolder + identifier); }
  std::string serviceUnit(const std::string& identifier) const {
    return installed(unitsFolder + identifier + ".service");
  }
  std::string socketUnit(const std::string& identifier) const {
    return installed(unitsFolder + identifier + ".socket");
  }

  static HelperPlatformTable fromEnvironment();
  // Read from the environment once per process.
  static const HelperPlatformTable& current();
};

}  // namespace tarnix::platform
