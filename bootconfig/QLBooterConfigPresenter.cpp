#include "bootconfig/QLBooterConfigPresenter.h"

#include "bootconfig/QLNVRAMWriteFailure.h"
#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {

QLBooterConfigPresenter::QLBooterConfigPresenter(QLRootlessPaneView& view, QLRootlessPaneContext context,
                                                 QLApplyBooterConfigViaHelper helper)
    : QLMainAbstractRootlessPresenter(view, std::move(context)),
      currentBooterConfig_(context_.rootless.currentBooterConfig()),
      helper_(std::move(helper)) {}

const QLMainAbstractRootlessPresenter::Kind& QLBooterConfigPresenter::kind() const {
  static const Kind kBooter{kQLBooterConfigVCBooterConfigStatusFull,
                            &kQLBooterConfigFlagLabels,
                            kQLBooterConfigVCNewBooterConfigNotExist,
                            kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig,
                            kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig,
                            "QLBooterConfigVC::actionButtonRootlessFlag:"};
  return kBooter;
}

void QLBooterConfigPresenter::applyViaNVRAM() {
  const QLBooterConfig* newer = context_.rootless.newBooterConfig();
  if (!newer) return present(alert(kQLBooterConfigVCNewBooterConfigNotExist));
  switch (context_.environment) {
    case QLBootEnvironmentType::Normal: {
      if (!helper_)
        return present(alert(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM,
                             QLLocalizedText{kQLMainAbstractRootlessVCNVRAMNoHelper, {}}));
      // The reply may come on another thread, after the pane has gone.
      auto answer = [post = mainThreadPoster()](bool applied) {
        post([applied](QLMainAbstractRootlessPresenter& pane) {
          static_cast<QLBooterConfigPresenter&>(pane).answerFromHelper(applied);
        });
      };
      return helper_(newer->decimalValue().value_or(0), std::move(answer));
    }
    case QLBootEnvironmentType::Recovery:
      if (const int error = newer->writeToNVRAMStatus())
        present(alert(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM, QLNVRAMWriteFailureReason(error)));
      return;
    case QLBootEnvironmentType::SingleUser:
    case QLBootEnvironmentType::SingleUserRecovery:
    case QLBootEnvironmentType::Unknown: return;
  }
}

void QLBooterConfigPresenter::answerFromHelper(bool applied) {
  if (applied) return present(message(kQLBooterConfigVCBooterConfigAppliedViaNVRAM));
  const auto mounts = context_.mounts ? context_.mounts() : std::vector<platform::Mount>{};
  present(alert(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM,
                QLHelperNVRAMWriteFailureReason(context_.rootless.variables(), mounts)));
}

std::optional<QLRootlessMessage> QLBooterConfigPresenter::refuseViaConfig() const {
  const auto config = context_.bootloader.currentConfig();
  if (config && config->type() == QLBootloaderConfigType::chameleon)
    return alert(kQLBooterConfigVCBooterConfigNotSupportedByChameleon);
  return std::nullopt;
}

int QLBooterConfigPresenter::applyEditedToConfig() {
  int error = 0;
  context_.bootloader.applyBooterConfig(*context_.rootless.newBooterConfig(), &error);
  return error;
}

}  // namespace tarnix
