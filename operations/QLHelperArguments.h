#pragma once
// The checks every helper argument passes before anything is touched. Each answers the value
// to act on, or nothing (the caller logs and replies false or all-failed).
#include <optional>
#include <string>

#include "model/QLKernelExtension.h"

namespace tarnix::arguments {

// An absolute path without "." or ".." components or NUL bytes.
bool isPlainAbsolutePath(const std::string& path);
// One of the three kext folders, exactly as its raw value.
std::optional<std::string> kextFolder(const std::string& folder);
// One path component ending in ".kext" with something before it.
bool isKextName(const std::string& name);
// A kext given by a file URL whose name is a kext name and whose path is a plain absolute path.
bool isInstallableKext(const QLKernelExtension& kext);

}  // namespace tarnix::arguments
