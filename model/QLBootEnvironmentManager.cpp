#include "model/QLBootEnvironmentManager.h"

#include "platform/BootProbe.h"
#include "platform/Files.h"

namespace tarnix {

QLBootEnvironmentManager& QLBootEnvironmentManager::shared() {
  static QLBootEnvironmentManager manager;
  return manager;
}

QLBootEnvironmentManager::QLBootEnvironmentManager() {
  currentEnvironment_ = bootEnvironmentFor(platform::pathExists("/System/Installation"), platform::isSingleUserBoot());
}

}  // namespace tarnix
