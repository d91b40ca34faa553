#include "helper/QLHelperInstaller.h"

#include <grp.h>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Process.h"
#include "platform/TreeOperations.h"

namespace tarnix {
namespace {

bool fail(const std::string& text) {
  platform::diagnostic("QLHelperInstaller::install()", "Error: " + text);
  return false;
}

// The socket is opened to the first admin group that exists here.
std::string socketGroup(const platform::HelperPlatformTable& table) {
  for (const auto& name : table.adminGroups)
    if (::getgrnam(name.c_str())) return name;
  return "root";
}

bool writeInstalled(const std::string& path, const std::string& text) {
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && platform::makeDirectoriesBeneath("/", path.substr(0, slash), 0755) != 0)
    return false;
  return platform::writeFile(path, text, 0644) == 0;
}

}  // namespace

std::string socketUnitText(const platform::HelperPlatformTable& table, const std::string& identifier) {
  return "[Unit]\nDescription=Tarnix privileged helper socket\n\n[Socket]\nListenStream=" + table.socketPath +
         "\nSocketMode=0660\nSocketUser=root\nSocketGroup=" + socketGroup(table) + "\n\n[Install]\nWantedBy=sockets.target\n" +
         "# " + identifier + "\n";
}

std::string serviceUnitText(const platform::HelperPlatformTable& table, const std::string& identifier, uid_t owner) {
  return "[Unit]\nDescription=Tarnix privileged helper\nRequires=" + identifier + ".socket\nAfter=" + identifier +
         ".socket\n\n[Service]\nType=notify\nExecStart=" + table.helperToolsFolder + identifier + " --owner-uid " +
         std::to_string(owner) + "\n";
}

bool installHelper(const platform::HelperPlatformTable& table, const std::string& identifier, const std::string& binary,
                   uid_t owner) {
  const std::string target = table.helperBinary(identifier);
  if (platform::makeDirectoriesBeneath("/", table.installed(table.helperToolsFolder), 0755) != 0)
    return fail("cannot create " + table.installed(table.helperToolsFolder));
  if (platform::pathExists(target) && platform::removeBeneath("/", target) != 0) return fail("cannot replace " + target);
  if (platform::copyTreeBeneath("/", binary, "/", target, platform::Ownership{0, 0}) != 0 ||
      platform::setModeNoFollow(target, 0755) != 0)
    return fail("cannot copy " + binary + " to " + target);
  if (!writeInstalled(table.socketUnit(identifier), socketUnitText(table, identifier)) ||
      !writeInstalled(table.serviceUnit(identifier), serviceUnitText(table, identifier, owner)))
    return fail("cannot write the units");
  auto& runner = platform::linuxProcessRunner();
  const auto reloaded = runner.run(table.systemctl, {"daemon-reload"});
  if (!reloaded || *reloaded != 0) return fail("systemctl daemon-reload failed");
  const auto enabled = runner.run(table.systemctl, {"enable", "--now", identifier + ".socket"});
  if (!enabled || *enabled != 0) return fail("cannot start " + identifier + ".socket");
  return true;
}

}  // namespace tarnix
