#include "bootconfig/QLSIPConfigPresenter.h"

#include "bootconfig/QLNVRAMWriteFailure.h"
#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {

QLSIPConfigPresenter::QLSIPConfigPresenter(QLRootlessPaneView& view, QLRootlessPaneContext context)
    : QLMainAbstractRootlessPresenter(view, std::move(context)),
      currentSIPConfig_(context_.rootless.currentSIPConfig()) {}

const QLMainAbstractRootlessPresenter::Kind& QLSIPConfigPresenter::kind() const {
  static const Kind kSIP{kQLSIPConfigVCSIPStatusFull,
                         &kQLSIPConfigFlagLabels,
                         kQLSIPConfigVCNewSIPConfigNotExist,
                         kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig,
                         kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig,
                         "QLSIPConfigVC::actionButtonRootlessFlag:"};
  return kSIP;
}

bool QLSIPConfigPresenter::flagEnabled(int bit) const {
  if (bit != 8) return true;
  const auto& version = context_.systemVersion;
  // Without a known system the user decides; 11 and later are past 10.12 as well.
  if (!version) return true;
  return version->majorVersion > 10 || (version->majorVersion == 10 && version->minorVersion > 11);
}

void QLSIPConfigPresenter::applyViaNVRAM() {
  const QLSIPConfig* newer = context_.rootless.newSIPConfig();
  if (!newer) return present(alert(kQLSIPConfigVCNewSIPConfigNotExist));
  switch (context_.environment) {
    case QLBootEnvironmentType::Normal: return present(alert(kQLSIPConfigVCApplySIPViaNVRAMUnsupported));
    case QLBootEnvironmentType::Recovery:
      if (const int error = newer->writeToNVRAMStatus())
        present(alert(kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM, QLNVRAMWriteFailureReason(error)));
      return;
    case QLBootEnvironmentType::SingleUser:
    case QLBootEnvironmentType::SingleUserRecovery:
    case QLBootEnvironmentType::Unknown: return;
  }
}

int QLSIPConfigPresenter::applyEditedToConfig() {
  int error = 0;
  context_.bootloader.applySIPConfig(*context_.rootless.newSIPConfig(), &error);
  return error;
}

}  // namespace tarnix
