#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

// Where a kext can go. The first three are folders relative to a volume's mount point (with a
// leading and a trailing "/"); the last two are EZ installer choices, never a path.
enum class QLKernelExtensionFolder {
  ExtraExtensions,
  LibraryExtensions,
  SystemLibraryExtensions,
  AskMeEveryTime,
  UseSmartTable,
};

// Exactly the five raw values, case-sensitive; nothing for any other string.
std::optional<QLKernelExtensionFolder> kernelExtensionFolderFromRawValue(std::string_view raw);
std::string_view rawValue(QLKernelExtensionFolder folder);
// One of the three real folders.
bool isInstallableFolder(QLKernelExtensionFolder folder);

}  // namespace tarnix
