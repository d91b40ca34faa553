#pragma once
#include <optional>

#include "bootconfig/QLBooterConfig.h"
#include "bootconfig/QLSIPConfig.h"

namespace tarnix {

// The application's view of both words: the values read once at start and the values being
// edited in the panes. Main thread only.
class QLRootlessConfigManager {
 public:
  // Over the running machine's variables.
  static QLRootlessConfigManager& shared();
  explicit QLRootlessConfigManager(platform::FirmwareVariables& variables);

  // The variables the words are read from and written to.
  platform::FirmwareVariables& variables() { return variables_; }

  const QLSIPConfig& currentSIPConfig() const { return currentSIPConfig_; }
  const QLBooterConfig& currentBooterConfig() const { return currentBooterConfig_; }

  // Null while nothing is being edited.
  QLSIPConfig* newSIPConfig() { return newSIPConfig_ ? &*newSIPConfig_ : nullptr; }
  QLBooterConfig* newBooterConfig() { return newBooterConfig_ ? &*newBooterConfig_ : nullptr; }
  // The value being edited, made from the variable as it is now when there is none yet.
  QLSIPConfig& editSIPConfig();
  QLBooterConfig& editBooterConfig();
  void dropNewSIPConfig() { newSIPConfig_.reset(); }
  void dropNewBooterConfig() { newBooterConfig_.reset(); }

 private:
  platform::FirmwareVariables& variables_;
  QLSIPConfig currentSIPConfig_;
  QLBooterConfig currentBooterConfig_;
  std::optional<QLSIPConfig> newSIPConfig_;
  std::optional<QLBooterConfig> newBooterConfig_;
};

}  // namespace tarnix
