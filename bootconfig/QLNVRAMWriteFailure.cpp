#include "bootconfig/QLNVRAMWriteFailure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {

QLLocalizedText QLNVRAMWriteFailureReason(int error) {
  switch (error) {
    case ENOTSUP:
    case ENOSYS: return {kQLMainAbstractRootlessVCNVRAMUnsupported, {}};
    case EACCES:
    case EPERM: return {kQLMainAbstractRootlessVCNVRAMNotPermitted, {}};
    case EROFS: return {kQLMainAbstractRootlessVCNVRAMReadOnly, {}};
    default: return {kQLMainAbstractRootlessVCNVRAMFailed, {std::strerror(error)}};
  }
}

QLLocalizedText QLHelperNVRAMWriteFailureReason(platform::FirmwareVariables& variables,
                                                const std::vector<platform::Mount>& mounts) {
  if (!variables.supported()) return {kQLMainAbstractRootlessVCNVRAMUnsupported, {}};
  const bool readOnly = std::any_of(mounts.begin(), mounts.end(), [](const platform::Mount& mount) {
    return mount.fileSystemType == "efivarfs" && mount.readOnly;
  });
  if (readOnly) return {kQLMainAbstractRootlessVCNVRAMReadOnly, {}};
  return {kQLMainAbstractRootlessVCNVRAMHelperFailed, {}};
}

}  // namespace tarnix
