#include "helper/QLHelperArguments.h"

#include "model/QLKernelExtensionFolder.h"

namespace tarnix::arguments {

bool isPlainAbsolutePath(const std::string& path) {
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos || path.size() > 4096) return false;
  std::string_view rest(path);
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const auto component = rest.substr(0, slash);
    if (component == "." || component == "..") return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return true;
}

std::optional<std::string> kextFolder(const std::string& folder) {
  const auto parsed = kernelExtensionFolderFromRawValue(folder);
  if (!parsed || !isInstallableFolder(*parsed)) return std::nullopt;
  return folder;
}

bool isKextName(const std::string& name) {
  static constexpr std::string_view kSuffix = ".kext";
  return name.size() > kSuffix.size() && name.size() <= 255 && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos && name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

bool isInstallableKext(const QLKernelExtension& kext) {
  return isKextName(kext.name()) && isPlainAbsolutePath(kext.path());
}

}  // namespace tarnix::arguments
