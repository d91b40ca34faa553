#include "bootconfig/QLMainAbstractRootlessPresenter.h"

#include <cstdlib>

#include "bootconfig/QLRootlessLocalization.h"
#include "model/QLBootEnvironmentManager.h"
#include "model/QLOSVolume.h"
#include "model/QLOSVolumeManager.h"
#include "platform/Log.h"

namespace tarnix {

QLRootlessPaneContext sharedRootlessPaneContext(const QLPreferences* preferences) {
  std::optional<QLOSVersion> system;
  if (auto root = QLOSVolume::initWithMountPoint("/"))
    system = root->osVersion;
  else if (auto target = QLOSVolumeManager::shared().selected())
    system = target->osVersion;
  return QLRootlessPaneContext{QLRootlessConfigManager::shared(),
                               QLBootloaderConfigManager::shared(),
                               QLBootEnvironmentManager::shared().currentEnvironment(),
                               std::move(system),
                               preferences,
                               {},
                               {}};
}

QLMainAbstractRootlessPresenter::QLMainAbstractRootlessPresenter(QLRootlessPaneView& view,
                                                                 QLRootlessPaneContext context)
    : view_(view), context_(std::move(context)), alive_(std::make_shared<QLMainAbstractRootlessPresenter*>(this)) {}

QLRootlessMessage QLMainAbstractRootlessPresenter::alert(QLLocalizedKey contents) {
  return {QLRootlessMessage::Form::alert, kQLMainAbstractVCAnErrorOccured, contents};
}

QLRootlessMessage QLMainAbstractRootlessPresenter::message(QLLocalizedKey contents) {
  return {QLRootlessMessage::Form::message, kQLMainAbstractVCFinished, contents};
}

QLRootlessPaneOutlets QLMainAbstractRootlessPresenter::outlets() const {
  return {"QLUIPlist",
          kQLMainAbstractRootlessVCSelectBootloaderConfiguration,
          kQLMainAbstractRootlessVCRefresh,
          kQLMainAbstractRootlessVCApplyViaNVRAM,
          kQLMainAbstractRootlessVCApplyViaConfig,
          kind().box,
          *kind().flagLabels};
}

void QLMainAbstractRootlessPresenter::viewDidLoad() {
  view_.stopProgress();
  view_.showLocalizedOutlets(outlets());
  renderFlags();
}

void QLMainAbstractRootlessPresenter::viewDidAppear() {
  const auto config = context_.bootloader.currentConfig();
  view_.setApplyViaConfigEnabled(config != nullptr);
  if (config) view_.showBootloaderConfig(config->path(), config->image());
}

bool QLMainAbstractRootlessPresenter::flagEnabled(int) const { return true; }

std::array<QLRootlessFlagBox, 9> QLMainAbstractRootlessPresenter::flagBoxes() const {
  std::array<QLRootlessFlagBox, 9> boxes;
  const auto value = current().decimalValue().value_or(0);
  for (int bit = 0; bit < kQLRootlessConfigFlagCount; ++bit) {
    boxes[bit].checked = ((value >> bit) & 1) != 0;
    boxes[bit].enabled = flagEnabled(bit);
  }
  return boxes;
}

QLRootlessValueLine QLMainAbstractRootlessPresenter::valueLine() const {
  return QLRootlessValueLine::make(current(), edited());
}

void QLMainAbstractRootlessPresenter::renderFlags() {
  view_.showFlags(flagBoxes());
  renderValues();
}

void QLMainAbstractRootlessPresenter::renderValues() { view_.showValueLine(valueLine()); }

void QLMainAbstractRootlessPresenter::refresh() {
  dropEdited();
  renderFlags();
}

void QLMainAbstractRootlessPresenter::actionButtonRootlessFlag(int tag, bool on) {
  if (tag < 0 || tag >= kQLRootlessConfigFlagCount) {
    platform::diagnostic(kind().fatalWhere, "You should never reach at here.");
    std::abort();
  }
  setEditedFlag(tag, on);
  renderValues();
}

void QLMainAbstractRootlessPresenter::applyViaConfig() {
  if (!edited()) return present(alert(kind().newValueMissing));
  if (auto refusal = refuseViaConfig()) return present(*refusal);
  present(applyEditedToConfig() ? message(kind().savedViaConfig) : alert(kind().failedToSaveViaConfig));
}

QLBootloaderOpenPanel QLMainAbstractRootlessPresenter::selectBooterConfiguration() {
  view_.startProgress();
  std::string directory =
      context_.preferences ? context_.preferences->openPanelDirectory() : std::string(kQLDefaultOpenPanelDirectory);
  return {kQLInstallationVCChoose, std::move(directory), "plist"};
}

std::function<void(QLMainAbstractRootlessPresenter::PaneTask)> QLMainAbstractRootlessPresenter::mainThreadPoster()
    const {
  return [alive = std::weak_ptr<QLMainAbstractRootlessPresenter*>(alive_),
          runOnMain = context_.runOnMain](PaneTask task) {
    QLTask run = [alive, task = std::move(task)] {
      if (auto self = alive.lock()) task(**self);
    };
    if (runOnMain)
      runOnMain(std::move(run));
    else
      run();
  };
}

void QLMainAbstractRootlessPresenter::didChooseBooterConfiguration(std::optional<std::string> path) {
  if (!path) return view_.stopProgress();
  // Only the shared manager is touched off the main thread; the pane may be gone by the answer.
  QLTask recognise = [&bootloader = context_.bootloader, post = mainThreadPoster(), file = std::move(*path)] {
    const bool recognised = bootloader.loadConfig(file);
    post([recognised](QLMainAbstractRootlessPresenter& pane) {
      if (!recognised) pane.present(alert(kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration));
      if (const auto config = pane.context_.bootloader.currentConfig()) {
        pane.view_.showBootloaderConfig(config->path(), config->image());
        pane.view_.setApplyViaConfigEnabled(true);
      }
      pane.view_.stopProgress();
    });
  };
  if (context_.runInBackground)
    context_.runInBackground(std::move(recognise));
  else
    recognise();
}

}  // namespace tarnix
