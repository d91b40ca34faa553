#include "bootconfig/QLRootlessConfigManager.h"

namespace tarnix {

QLRootlessConfigManager& QLRootlessConfigManager::shared() {
  static QLRootlessConfigManager manager(platform::efiFirmwareVariables());
  return manager;
}

QLRootlessConfigManager::QLRootlessConfigManager(platform::FirmwareVariables& variables)
    : variables_(variables), currentSIPConfig_(variables), currentBooterConfig_(variables) {}

QLSIPConfig& QLRootlessConfigManager::editSIPConfig() {
  if (!newSIPConfig_) newSIPConfig_.emplace(variables_);
  return *newSIPConfig_;
}

QLBooterConfig& QLRootlessConfigManager::editBooterConfig() {
  if (!newBooterConfig_) newBooterConfig_.emplace(variables_);
  return *newBooterConfig_;
}

}  // namespace tarnix
