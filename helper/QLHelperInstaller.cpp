#include "helper/QLHelperInstaller.h"

#include "helper/QLHelperUnits.h"
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

std::string replaced(std::string text, const std::string& word, const std::string& value) {
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + value.size()))
    text.replace(at, word.size(), value);
  return text;
}

bool writeInstalled(const std::string& path, const std::string& text) {
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && platform::makeDirectoriesBeneath("/", path.substr(0, slash), 0755) != 0)
    return false;
  return platform::writeFile(path, text, 0644) == 0;
}

}  // namespace

std::string socketUnitText(const platform::HelperPlatformTable& table) {
  return replaced(kSocketUnitTemplate, "@SOCKET@", table.socketPath);
}

std::string serviceUnitText(const platform::HelperPlatformTable& table, const std::string& identifier) {
  return replaced(kServiceUnitTemplate, "@HELPER@", table.helperToolsFolder + identifier);
}

bool installHelper(const platform::HelperPlatformTable& table, const std::string& identifier,
                   const std::string& binary) {
  const std::string target = table.helperBinary(identifier);
  if (platform::makeDirectoriesBeneath("/", table.installed(table.helperToolsFolder), 0755) != 0)
    return fail("cannot create " + table.installed(table.helperToolsFolder));
  if (platform::pathExists(target) && platform::removeBeneath("/", target) != 0)
    return fail("cannot replace " + target);
  if (platform::copyTreeBeneath("/", binary, "/", target, platform::Ownership{0, 0}) != 0 ||
      platform::setModeNoFollow(target, 0755) != 0)
    return fail("cannot copy " + binary + " to " + target);
  if (!writeInstalled(table.socketUnit(identifier), socketUnitText(table)) ||
      !writeInstalled(table.serviceUnit(identifier), serviceUnitText(table, identifier)))
    return fail("cannot write the units");
  auto& runner = platform::linuxProcessRunner();
  const auto reloaded = runner.run(table.systemctl, {"daemon-reload"});
  if (!reloaded || *reloaded != 0) return fail("systemctl daemon-reload failed");
  const auto enabled = runner.run(table.systemctl, {"enable", "--now", identifier + ".socket"});
  if (!enabled || *enabled != 0) return fail("cannot start " + identifier + ".socket");
  return true;
}

}  // namespace tarnix
