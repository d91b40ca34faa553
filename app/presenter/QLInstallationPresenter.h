#pragma once
// The Installation pane's decisions, without Qt: the order of a run's helper calls in normal
// and EZ mode and what its end says; which drops start a run, join the one being prepared or
// wait for a volume; which kext folder each row of the folder matrix stands for.
#include <optional>
#include <string>
#include <vector>

#include "app/presenter/QLInstallationPaneView.h"
#include "model/QLKernelExtensionsManager.h"

namespace tarnix {

class QLInstallationPresenter {
 public:
  // The matrix's rows: /System/Library/Extensions/, /Library/Extensions/, /Extra/Extensions/.
  static constexpr int kSLERow = 0;
  static constexpr int kLERow = 1;
  static constexpr int kExtraRow = 2;
  // The folder of a row; any other row ends the process: the matrix has no other.
  static QLKernelExtensionFolder folderOfRow(int row);

  // One spelling per bundle: a kext dropped twice (with and without "/") is listed once.
  static std::string kextPath(std::string path);

  // The names of the failed kexts after the backup and install keys; empty when none failed.
  static QLInstallationText failureText(const std::optional<std::vector<QLKernelExtension>>& backupFailed,
                                        const std::optional<std::vector<QLKernelExtension>>& installFailed);

  QLInstallationPresenter(QLInstallationPaneView& view, QLKernelExtensionsManager& kexts);
  QLInstallationPresenter(const QLInstallationPresenter&) = delete;
  QLInstallationPresenter& operator=(const QLInstallationPresenter&) = delete;

  // Backs up the kexts the installation replaces (when asked), installs the list, and in EZ
  // mode repairs the volume's permissions and its caches; the end says what failed.
  void execute();
  // The helper's replies.
  void didBackupKexts(std::vector<QLKernelExtension> failed);
  void didInstallKexts(std::vector<QLKernelExtension> failed);
  void didRepairDiskPermissionsWithResults(std::vector<QLRepairPermissionsRepresentableResult> results);
  void didRebuildCaches();
  // The helper refused a step and changed nothing: the rest of the run is not attempted.
  // The pane says why.
  void didRefuse();

  // Reads the EZ preference and shows the overlay for it; while a run goes on, once it ends.
  void renderEZView();
  // Paths dropped on the EZ overlay: refused while a run goes on, joined to the drops of the
  // pause before a run, kept until a volume is chosen when there is none.
  void prepareEZInstallation(const std::vector<std::string>& paths);
  // A new target volume: the kexts that waited for one are installed.
  void targetVolumeDidChange();

  bool enableEZMode = false;
  std::optional<std::vector<QLRepairPermissionsRepresentableResult>> repairPermissionsResults;
  std::optional<std::vector<QLKernelExtension>> backupFailed;
  std::optional<std::vector<QLKernelExtension>> installFailed;

  // Whether a run (or the pause before it) is under way.
  bool isInstalling() const { return running_; }
  const std::vector<std::string>& kextsWaitingForAVolume() const { return waitingForVolume_; }
  // The dated folder the last run's backup wrote, when it wrote one.
  const std::string& lastBackupFolder() const { return backupFolder_; }

 private:
  void callInstall();
  void keepUntilAVolumeIsChosen(const std::vector<std::string>& paths);
  void preparingPauseEnded();
  void cancelRun();
  void unlockControls();
  // Where the backup went, or that there was nothing to back up; empty without a backup.
  QLInstallationText backupText() const;
  void finishNormalMode();
  void finishEZMode();

  QLInstallationPaneView& view_;
  QLKernelExtensionsManager& kexts_;
  bool running_ = false;
  bool renderPending_ = false;
  // Paths of the drops that arrived during the preparing pause; installed in one run.
  std::vector<std::string> pendingDrops_;
  bool preparing_ = false;
  std::vector<std::string> waitingForVolume_;
  // The backup folder's entries before the backup, to tell the dated folder it adds.
  std::string backupDestination_;
  std::vector<std::string> backupEntriesBefore_;
  std::string backupFolder_;
  bool backupRequested_ = false;
  bool nothingToBackUp_ = false;
};

}  // namespace tarnix
