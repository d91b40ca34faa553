#include "model/QLKernelExtensionFolder.h"

#include <array>
#include <utility>

namespace tarnix {
namespace {
constexpr std::array<std::pair<QLKernelExtensionFolder, std::string_view>, 5> kFolders{{
    {QLKernelExtensionFolder::ExtraExtensions, "/Extra/Extensions/"},
    {QLKernelExtensionFolder::LibraryExtensions, "/Library/Extensions/"},
    {QLKernelExtensionFolder::SystemLibraryExtensions, "/System/Library/Extensions/"},
    {QLKernelExtensionFolder::AskMeEveryTime, "QLKextFolderAskMeEveryTime"},
    {QLKernelExtensionFolder::UseSmartTable, "QLKextFolderUseSmartTable"},
}};
}  // namespace

std::optional<QLKernelExtensionFolder> kernelExtensionFolderFromRawValue(std::string_view raw) {
  for (const auto& [folder, text] : kFolders)
    if (text == raw) return folder;
  return std::nullopt;
}

std::string_view rawValue(QLKernelExtensionFolder folder) {
  for (const auto& [candidate, text] : kFolders)
    if (candidate == folder) return text;
  return {};
}

bool isInstallableFolder(QLKernelExtensionFolder folder) {
  return folder == QLKernelExtensionFolder::ExtraExtensions || folder == QLKernelExtensionFolder::LibraryExtensions ||
         folder == QLKernelExtensionFolder::SystemLibraryExtensions;
}

}  // namespace tarnix
