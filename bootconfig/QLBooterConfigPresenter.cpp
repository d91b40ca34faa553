#include "bootconfig/QLBooterConfigPresenter.h"

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
      // The reply may come on another thread, after the pane has gone.
      auto answer = [post = mainThreadPoster()](bool applied) {
        post([applied](QLMainAbstractRootlessPresenter& pane) {
          static_cast<QLBooterConfigPresenter&>(pane).present(
              applied ? message(kQLBooterConfigVCBooterConfigAppliedViaNVRAM)
                      : alert(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM));
        });
      };
      if (!helper_) return answer(false);
      return helper_(newer->decimalValue().value_or(0), std::move(answer));
    }
    case QLBootEnvironmentType::Recovery:
      if (!newer->writeToNVRAM()) present(alert(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM));
      return;
    case QLBootEnvironmentType::SingleUser:
    case QLBootEnvironmentType::SingleUserRecovery:
    case QLBootEnvironmentType::Unknown: return;
  }
}

std::optional<QLRootlessMessage> QLBooterConfigPresenter::refuseViaConfig() const {
  const auto config = context_.bootloader.currentConfig();
  if (config && config->type() == QLBootloaderConfigType::chameleon)
    return alert(kQLBooterConfigVCBooterConfigNotSupportedByChameleon);
  return std::nullopt;
}

bool QLBooterConfigPresenter::applyEditedToConfig() {
  return context_.bootloader.applyBooterConfig(*context_.rootless.newBooterConfig());
}

}  // namespace tarnix
