#include "app/presenter/QLInstallationPresenter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tarnix {
namespace {

// The file names, each followed by one blank, without the last blank; nothing for no list.
std::string renderedNames(const std::optional<std::vector<QLKernelExtension>>& list) {
  std::string names;
  if (!list) return names;
  for (std::size_t i = 0; i < list->size(); ++i) {
    if (i > 0) names += ' ';
    names += (*list)[i].name();
  }
  return names;
}

}  // namespace

QLKernelExtensionFolder QLInstallationPresenter::folderOfRow(int row) {
  switch (row) {
    case kSLERow: return QLKernelExtensionFolder::SystemLibraryExtensions;
    case kLERow: return QLKernelExtensionFolder::LibraryExtensions;
    case kExtraRow: return QLKernelExtensionFolder::ExtraExtensions;
    default:
      std::printf("QLInstallationVC::selectInstallationFolder: You should never reach at here.\n");
      std::fflush(stdout);
      std::abort();
  }
}

std::string QLInstallationPresenter::kextPath(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

QLInstallationText QLInstallationPresenter::failureText(
    const std::optional<std::vector<QLKernelExtension>>& backupFailed,
    const std::optional<std::vector<QLKernelExtension>>& installFailed) {
  QLInstallationText text;
  if (const std::string backup = renderedNames(backupFailed); !backup.empty())
    text.key("kQLInstallationVCFailedToBackupKexts").literal(backup).literal("\n");
  if (const std::string install = renderedNames(installFailed); !install.empty())
    text.key("kQLInstallationVCFailedToInstallKexts").literal(install);
  return text;
}

QLInstallationPresenter::QLInstallationPresenter(QLInstallationPaneView& view, QLKernelExtensionsManager& kexts)
    : view_(view), kexts_(kexts) {}

void QLInstallationPresenter::execute() {
  if (running_) return;
  if (!view_.canCallHelper()) return cancelRun();
  const bool backup = view_.backupRequested();
  std::string destination;
  if (backup) {
    destination = view_.backupFolderPath();
    if (destination.empty()) {
      view_.showAlert("kQLInstallationVCNoBackupFolder");
      return cancelRun();
    }
    // The helper puts the dated folder right after this text.
    if (destination.back() != '/') destination += '/';
  }

  view_.lockInstallationControls();
  running_ = true;
  backupFailed.reset();
  installFailed.reset();
  repairPermissionsResults.reset();
  backupRequested_ = backup;
  backupFolder_.clear();
  nothingToBackUp_ = false;
  if (!enableEZMode) view_.startProgress();
  if (!backup) return callInstall();

  kexts_.kextsTBB = kexts_.kextsToBackUp(view_.targetMountPoint());
  nothingToBackUp_ = kexts_.kextsTBB.empty();
  // The helper names the dated folder it makes after its own clock: the folder that is new
  // after the reply is the one it wrote.
  backupDestination_ = destination;
  backupEntriesBefore_ = view_.foldersIn(destination);
  view_.showStep("kQLMainAbstractBackingUpKexts", enableEZMode);
  view_.backUp(kexts_.kextsTBB, kexts_.installationFolder, destination);
}

void QLInstallationPresenter::cancelRun() {
  running_ = false;
  view_.stopProgress();
  if (!enableEZMode) return;
  // Back to the waiting overlay; the dropped kexts are not kept.
  view_.showEZIdle();
  renderEZView();
}

void QLInstallationPresenter::didRefuse() {
  cancelRun();
  view_.showReady();
  unlockControls();
}

void QLInstallationPresenter::callInstall() {
  view_.showStep("kQLMainAbstractInstallingKexts", enableEZMode);
  if (!view_.helperConnected()) return didInstallKexts(kexts_.kextsTBI);  // gone: nothing was installed
  view_.install(kexts_.kextsTBI, kexts_.installationFolder);
}

void QLInstallationPresenter::didBackupKexts(std::vector<QLKernelExtension> failed) {
  backupFailed = std::move(failed);
  std::vector<std::string> added = view_.foldersIn(backupDestination_);
  std::erase_if(added, [this](const std::string& entry) {
    return std::find(backupEntriesBefore_.begin(), backupEntriesBefore_.end(), entry) != backupEntriesBefore_.end();
  });
  if (added.size() == 1) backupFolder_ = backupDestination_ + added.front();
  callInstall();
}

QLInstallationText QLInstallationPresenter::backupText() const {
  QLInstallationText text;
  if (!backupRequested_) return text;
  if (!backupFolder_.empty()) return text.key("kQLInstallationVCBackedUpTo", backupFolder_);
  // None of the kexts was in the folder yet: there was nothing to back up.
  if (nothingToBackUp_) return text.key("kQLInstallationVCNothingToBackUp");
  return text;
}

void QLInstallationPresenter::didInstallKexts(std::vector<QLKernelExtension> failed) {
  installFailed = std::move(failed);
  if (!enableEZMode) return finishNormalMode();
  if (!view_.helperConnected()) {
    repairPermissionsResults.emplace();
    return finishEZMode();
  }
  view_.repairDiskPermissions();
}

void QLInstallationPresenter::didRepairDiskPermissionsWithResults(
    std::vector<QLRepairPermissionsRepresentableResult> results) {
  repairPermissionsResults = std::move(results);
  if (!view_.helperConnected()) return finishEZMode();
  view_.rebuildCaches();
}

void QLInstallationPresenter::didRebuildCaches() { finishEZMode(); }

void QLInstallationPresenter::finishNormalMode() {
  QLInstallationText text;
  text.key("kQLMaintenanceVCSelectedOperationsFinished");
  if (const QLInstallationText backup = backupText(); !backup.empty()) text.literal(" ").append(backup);
  if (const QLInstallationText failures = failureText(backupFailed, installFailed); !failures.empty())
    text.literal("\n\n").append(failures);
  view_.stopProgress();
  view_.showFinished(text);
  view_.showReady();
  running_ = false;
  unlockControls();
}

void QLInstallationPresenter::finishEZMode() {
  kexts_.kextsTBI.clear();
  kexts_.kextsTBB.clear();
  QLInstallationText description = failureText(backupFailed, installFailed);
  if (description.empty())
    description.key(view_.helperRebuildsCachesNow() ? "kQLInstallationVCSelectedKextsInstalledOperationsAllFinished"
                                                    : "kQLInstallationVCSelectedKextsInstalledCachesMarkedForRebuild");
  if (const QLInstallationText backup = backupText(); !backup.empty()) description.literal("\n").append(backup);
  view_.presentResults(description,
                       repairPermissionsResults.value_or(std::vector<QLRepairPermissionsRepresentableResult>{}));
  view_.showReady();
  running_ = false;
  unlockControls();
}

void QLInstallationPresenter::unlockControls() {
  view_.unlockInstallationControls(enableEZMode);
  if (renderPending_ && !running_) {
    renderPending_ = false;
    renderEZView();
  }
}

void QLInstallationPresenter::renderEZView() {
  // Switched while an installation runs: the run still needs its list and its mode.
  if (running_) {
    renderPending_ = true;
    return;
  }
  waitingForVolume_.clear();
  enableEZMode = view_.ezModePreference();
  view_.showEZMode(enableEZMode);
}

void QLInstallationPresenter::prepareEZInstallation(const std::vector<std::string>& paths) {
  // Drops are refused while a run goes on; those made during the pause join it.
  if (running_ && !preparing_) return;
  if (!view_.hasTargetVolume()) return keepUntilAVolumeIsChosen(paths);
  pendingDrops_.insert(pendingDrops_.end(), paths.begin(), paths.end());
  if (preparing_) return;
  preparing_ = true;
  running_ = true;
  view_.showEZPreparing();
  view_.afterPreparingPause([this] { preparingPauseEnded(); });
}

void QLInstallationPresenter::preparingPauseEnded() {
  view_.showEZRunning();
  std::vector<std::string> paths;
  for (std::string& path : std::exchange(pendingDrops_, {})) paths.push_back(kextPath(std::move(path)));
  kexts_.addKextsFromPaths(paths);
  view_.reloadKexts();
  preparing_ = false;
  running_ = false;
  execute();
}

// Without a volume nothing can be installed: the user hears so at once, and the kexts wait
// for the volume rather than being dropped again.
void QLInstallationPresenter::keepUntilAVolumeIsChosen(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (std::find(waitingForVolume_.begin(), waitingForVolume_.end(), path) == waitingForVolume_.end())
      waitingForVolume_.push_back(path);
  view_.showEZWaitingForAVolume();
  view_.showAlert("kQLInstallationVCEZNoTargetVolume");
}

void QLInstallationPresenter::targetVolumeDidChange() {
  if (waitingForVolume_.empty() || !enableEZMode || running_) return;
  prepareEZInstallation(std::exchange(waitingForVolume_, {}));
}

}  // namespace tarnix
