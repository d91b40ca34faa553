#include "bootconfig/QLMainAbstractRootlessPresenter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bootconfig/QLRootlessLocalization.h"
#include "model/QLBootEnvironmentManager.h"
#include "model/QLOSVolume.h"
#include "model/QLOSVolumeManager.h"
#include "platform/Log.h"

namespace tarnix {

namespace {

// Where Chameleon's file may be: the selected volume first, then "/" and every other mounted
// macOS volume.
std::vector<std::string> macOSVolumes() {
  std::vector<std::string> volumes;
  auto add = [&](const std::string& mountPoint) {
    if (std::find(volumes.begin(), volumes.end(), mountPoint) == volumes.end()) volumes.push_back(mountPoint);
  };
  if (auto target = QLOSVolumeManager::shared().selected()) add(target->mountPoint);
  for (const auto& mounted : QLOSVolumeManager::mountedVolumes()) add(mounted.volume.mountPoint);
  return volumes;
}

std::string lastComponent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

QLRootlessPaneContext sharedRootlessPaneContext(const QLPreferences* preferences) {
  std::optional<QLOSVersion> system;
  if (auto root = QLOSVolume::initWithMountPoint("/"))
    system = root->osVersion;
  else if (auto target = QLOSVolumeManager::shared().selected())
    system = target->osVersion;
  return QLRootlessPaneContext{
      QLRootlessConfigManager::shared(),
      QLBootloaderConfigManager::shared(),
      QLBootEnvironmentManager::shared().currentEnvironment(),
      std::move(system),
      preferences,
      {},
      {},
      [] { return QLBootloaderConfigSearch::search(QLBootloaderConfigSearch::systemPlaces(macOSVolumes())); },
      [] { return platform::mountedFileSystems(); }};
}

QLMainAbstractRootlessPresenter::QLMainAbstractRootlessPresenter(QLRootlessPaneView& view,
                                                                 QLRootlessPaneContext context)
    : view_(view), context_(std::move(context)), alive_(std::make_shared<QLMainAbstractRootlessPresenter*>(this)) {}

QLRootlessMessage QLMainAbstractRootlessPresenter::alert(QLLocalizedKey contents,
                                                         std::optional<QLLocalizedText> detail) {
  return {QLRootlessMessage::Form::alert, kQLMainAbstractVCAnErrorOccured, contents, std::move(detail)};
}

QLRootlessMessage QLMainAbstractRootlessPresenter::message(QLLocalizedKey contents,
                                                           std::optional<QLLocalizedText> detail) {
  return {QLRootlessMessage::Form::message, kQLMainAbstractVCFinished, contents, std::move(detail)};
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

void QLMainAbstractRootlessPresenter::viewDidAppear() { renderBootloaderConfig(); }

void QLMainAbstractRootlessPresenter::renderBootloaderConfig() {
  const auto config = context_.bootloader.currentConfig();
  view_.setApplyViaConfigEnabled(config != nullptr);
  if (!config) return view_.showBootloaderWord(std::nullopt);
  view_.showBootloaderConfig(config->path(), config->image());
  view_.showBootloaderWord(QLBootloaderWordLine::make(config->path(), configWord(*config)));
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
  const int error = applyEditedToConfig();
  renderBootloaderConfig();
  const auto config = context_.bootloader.currentConfig();
  if (error) {
    std::optional<QLLocalizedText> why;
    if (!config)
      why = std::nullopt;
    else if (error == EINVAL)
      why = QLLocalizedText{kQLMainAbstractRootlessVCFileInTheWay, {}};
    else
      why = QLLocalizedText{kQLMainAbstractRootlessVCFileNotWritten,
                            {lastComponent(config->path()), std::strerror(error)}};
    return present(alert(kind().failedToSaveViaConfig, std::move(why)));
  }
  std::optional<QLLocalizedText> kept;
  if (config && !config->keptCopy().empty())
    kept = QLLocalizedText{kQLMainAbstractRootlessVCPreviousFileKept, {lastComponent(config->keptCopy())}};
  present(message(kind().savedViaConfig, std::move(kept)));
}

QLBootloaderOpenPanel QLMainAbstractRootlessPresenter::selectBooterConfiguration() {
  view_.startProgress();
  std::string directory =
      context_.preferences ? context_.preferences->openPanelDirectory() : std::string(kQLDefaultOpenPanelDirectory);
  return {kQLInstallationVCChoose, std::move(directory), "plist", context_.searchBootloaderConfigs};
}

std::function<void(QLMainAbstractRootlessPresenter::PaneTask)> QLMainAbstractRootlessPresenter::mainThreadPoster()
    const {
  return
      [alive = std::weak_ptr<QLMainAbstractRootlessPresenter*>(alive_), runOnMain = context_.runOnMain](PaneTask task) {
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
      pane.renderBootloaderConfig();
      pane.view_.stopProgress();
    });
  };
  if (context_.runInBackground)
    context_.runInBackground(std::move(recognise));
  else
    recognise();
}

}  // namespace tarnix
