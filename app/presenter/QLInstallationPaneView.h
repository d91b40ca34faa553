#pragma once
// What the Installation pane shows and asks of the helper; the widgets implement it, the
// presenter decides when.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "model/QLKernelExtension.h"
#include "model/QLKernelExtensionFolder.h"

namespace tarnix {

// A text made of string-table keys (each with the value of its "%1" when it has one) and of
// literal pieces (kext names, blanks, line feeds), in order.
struct QLInstallationText {
  struct Piece {
    std::string key;   // empty: a literal piece
    std::string text;  // the literal, or the value of the key's "%1"
    friend bool operator==(const Piece&, const Piece&) = default;
  };
  std::vector<Piece> pieces;

  QLInstallationText& key(std::string_view name, std::string argument = {}) {
    pieces.push_back({std::string(name), std::move(argument)});
    return *this;
  }
  QLInstallationText& literal(std::string_view text) {
    pieces.push_back({{}, std::string(text)});
    return *this;
  }
  QLInstallationText& append(const QLInstallationText& other) {
    pieces.insert(pieces.end(), other.pieces.begin(), other.pieces.end());
    return *this;
  }
  bool empty() const { return pieces.empty(); }
  friend bool operator==(const QLInstallationText&, const QLInstallationText&) = default;
};

class QLInstallationPaneView {
 public:
  virtual ~QLInstallationPaneView() = default;

  // What the pane knows now.
  virtual bool ezModePreference() const = 0;
  // A target volume and a helper to call; when one is missing, false after an alert that says which.
  virtual bool canCallHelper() = 0;
  virtual bool hasTargetVolume() const = 0;
  virtual std::string targetMountPoint() const = 0;
  // Whether the helper is still connected: it may go away while a run goes on.
  virtual bool helperConnected() const = 0;
  virtual bool backupRequested() const = 0;
  // The chosen backup folder's path; empty when none is chosen.
  virtual std::string backupFolderPath() const = 0;
  // The names of the folders in `folder` (to tell the dated one a backup adds).
  virtual std::vector<std::string> foldersIn(const std::string& folder) const = 0;
  // Whether the helper rebuilds the caches at once, or only marks them for the next boot.
  virtual bool helperRebuildsCachesNow() const = 0;

  // The helper's calls; each reply comes back to the presenter on the GUI thread.
  virtual void backUp(const std::vector<QLKernelExtension>& kexts, QLKernelExtensionFolder folder,
                      const std::string& destination) = 0;
  virtual void install(const std::vector<QLKernelExtension>& kexts, QLKernelExtensionFolder folder) = 0;
  virtual void repairDiskPermissions() = 0;
  virtual void rebuildCaches() = 0;

  virtual void lockInstallationControls() = 0;
  // The choices again; select and execute only outside EZ mode.
  virtual void unlockInstallationControls(bool ezMode) = 0;
  // The pane's own indicator (normal mode).
  virtual void startProgress() = 0;
  virtual void stopProgress() = 0;
  // The step under way: on the EZ overlay in EZ mode ("Status: " and the step), else on the
  // status line.
  virtual void showStep(std::string_view key, bool ezMode) = 0;
  virtual void showReady() = 0;
  virtual void showAlert(std::string_view key) = 0;
  virtual void reloadKexts() = 0;
  // The end of a normal run: an informational message.
  virtual void showFinished(const QLInstallationText& text) = 0;
  // The end of an EZ run: the detailed results with this description, and the overlay idle.
  virtual void presentResults(const QLInstallationText& description,
                              std::vector<QLRepairPermissionsRepresentableResult> results) = 0;

  // The EZ overlay: shown (with its animation) or hidden, for the mode just read; its idle
  // look after a run that did not start; the pause after a drop and the look that follows it;
  // the line that says dropped kexts wait for a volume.
  virtual void showEZMode(bool ezMode) = 0;
  virtual void showEZIdle() = 0;
  virtual void showEZPreparing() = 0;
  virtual void showEZRunning() = 0;
  virtual void showEZWaitingForAVolume() = 0;
  // Runs `task` after the pause that follows a drop.
  virtual void afterPreparingPause(std::function<void()> task) = 0;
};

}  // namespace tarnix
