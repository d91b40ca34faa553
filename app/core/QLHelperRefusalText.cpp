#include "app/core/QLHelperRefusalText.h"

#include "app/core/QLLocalization.h"

namespace tarnix {

QString QLHelperRefusalText(const QLXPCHelperRefusal& refusal, const QString& mountPoint) {
  if (refusal.reason == QLXPCHelperRefusal::Reason::notAuthorized)
    return QLLocalizedString("kQLXPCHelperManagerNotAuthorized");
  using platform::VolumeRefusal;
  const char* key = "kQLXPCHelperManagerVolumeUnreachable";
  switch (refusal.volumeProblem) {
    case VolumeRefusal::unreachable: key = "kQLXPCHelperManagerVolumeUnreachable"; break;
    case VolumeRefusal::notAMountRoot: key = "kQLXPCHelperManagerVolumeNotAMountRoot"; break;
    case VolumeRefusal::foreignMount: key = "kQLXPCHelperManagerVolumeForeignMount"; break;
    case VolumeRefusal::notBlockDevice: key = "kQLXPCHelperManagerVolumeNotBlockDevice"; break;
    case VolumeRefusal::runningSystem: key = "kQLXPCHelperManagerVolumeRunningSystem"; break;
    case VolumeRefusal::missingNosuidNodev: key = "kQLXPCHelperManagerVolumeMissingNosuidNodev"; break;
  }
  return QLLocalizedString(key).arg(mountPoint);
}

}  // namespace tarnix
