#pragma once
#include "model/QLBootEnvironmentType.h"

namespace tarnix {

// How the running system was started; detected once, when the shared instance is made.
class QLBootEnvironmentManager {
 public:
  static QLBootEnvironmentManager& shared();
  QLBootEnvironmentType currentEnvironment() const { return currentEnvironment_; }

 private:
  QLBootEnvironmentManager();
  QLBootEnvironmentType currentEnvironment_ = QLBootEnvironmentType::Unknown;
};

}  // namespace tarnix
