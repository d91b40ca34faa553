#include "operations/QLHelperArguments.h"

#include "journal/QLJournalRecord.h"
#include "model/QLKernelExtensionFolder.h"

namespace tarnix::arguments {

bool isPlainAbsolutePath(const std::string& path) { return tarnix::isPlainAbsolutePath(path); }

std::optional<std::string> kextFolder(const std::string& folder) {
  const auto parsed = kernelExtensionFolderFromRawValue(folder);
  if (!parsed || !isInstallableFolder(*parsed)) return std::nullopt;
  return folder;
}

bool isKextName(const std::string& name) {
  static constexpr std::string_view kSuffix = ".kext";
  return name.size() > kSuffix.size() && name.size() <= 255 && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

bool isInstallableKext(const QLKernelExtension& kext) {
  // path() takes any URL's tail for a path: "https:/etc/A.kext" would name /etc/A.kext.
  return kext.url().starts_with("file:///") && isKextName(kext.name()) && isPlainAbsolutePath(kext.path());
}

}  // namespace tarnix::arguments
