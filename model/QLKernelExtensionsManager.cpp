#include "model/QLKernelExtensionsManager.h"

#include <algorithm>

#include "platform/Files.h"

namespace tarnix {
namespace {
bool hasKextExtension(const std::string& fileURL) {
  std::string_view url = fileURL;
  while (url.size() > 1 && url.back() == '/') url.remove_suffix(1);
  const auto slash = url.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? url : url.substr(slash + 1);
  const auto dot = last.rfind('.');
  return dot != std::string_view::npos && dot > 0 && last.substr(dot + 1) == "kext";
}
}  // namespace

QLKernelExtensionsManager& QLKernelExtensionsManager::shared() {
  static QLKernelExtensionsManager manager;
  return manager;
}

void QLKernelExtensionsManager::addKexts(const std::vector<std::string>& fileURLs) {
  for (const auto& url : fileURLs) {
    if (!hasKextExtension(url)) continue;
    auto kext = QLKernelExtension::initWithPathURL(url);
    if (std::find(kextsTBI.begin(), kextsTBI.end(), kext) == kextsTBI.end()) kextsTBI.push_back(std::move(kext));
  }
}

void QLKernelExtensionsManager::addKextsFromPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> urls;
  urls.reserve(paths.size());
  for (const auto& path : paths) urls.push_back(fileURLForPath(path));
  addKexts(urls);
}

std::vector<QLKernelExtension> QLKernelExtensionsManager::kextsToBackUp(const std::string& mountPoint) const {
  std::vector<QLKernelExtension> selected;
  if (!isInstallableFolder(installationFolder)) return selected;
  const std::string folder(rawValue(installationFolder));
  for (const auto& kext : kextsTBI)
    if (platform::pathExists(mountPoint + folder + "/" + kext.name())) selected.push_back(kext);
  return selected;
}

}  // namespace tarnix
