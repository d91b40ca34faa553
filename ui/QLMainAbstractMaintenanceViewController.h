#pragma once
// The base of the panes that work on a target volume through the helper: the volume chooser,
// the status line, control locking, the disk-permission and cache calls, progress from the
// helper's contexts, and the hand-off to the detailed results window.
#include <QPointer>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

#include "app/core/QLDetailedRepresentableResult.h"
#include "helper/protocol/QLXPCHelperRefusal.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"
#include "model/QLOSVolume.h"
#include "ui/QLAbstractMaintenaceDelegate.h"
#include "ui/QLDetailedResultsViewController.h"
#include "ui/QLMainAbstractViewController.h"
#include "ui/QLMainThreadReply.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tarnix {

class QLMainAbstractMaintenanceViewController : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  // Where the volume chooser starts without a mounted macOS volume: where removable volumes
  // are mounted.
  static QString volumeChooserDirectory();
  // The volume chooser as a window-modal sheet over `parent`: the mounted macOS volumes in its
  // side bar, opened in the first of them. `chosen` gets the folder, `cancelled` runs otherwise.
  static void openVolumeChooser(QWidget* parent, std::function<void(const QString&)> chosen,
                                std::function<void()> cancelled = {});
  // The volume at `path` when it holds a macOS system that is not a recovery system; otherwise
  // nothing, after an alert over `alertParent` that says why.
  static std::optional<QLOSVolume> validTargetVolumeAtPath(QWidget* alertParent, const QString& path);

  // The cache step's status key: rebuilding, or, where the helper has no kextcache to run,
  // marking the caches for rebuild at the next boot.
  static const char* rebuildingCachesKey();

  explicit QLMainAbstractMaintenanceViewController(QWidget* parent = nullptr);

  std::optional<QLOSVolume> targetVolume;
  QLAbstractMaintenaceDelegate* delegate = nullptr;
  std::shared_ptr<QLDetailedRepresentableResult> result;

  QLabel* statusField = nullptr;
  QPushButton* resetButton = nullptr;
  QPushButton* executeButton = nullptr;
  QLabel* volumeInfoField = nullptr;

  // The helper's remote object; null while the helper is not connected.
  QLXPCTarnixHelperProtocol* proxy() const;

  void updateStatusWithLocalizedString(const QString& text);
  // The chosen folder becomes the target when it holds a macOS system that is not a recovery
  // system; otherwise an alert, and the previous target stays. True when it was taken.
  bool chooseVolumeAtPath(const QString& path);
  // `text` and where the target volume's journal is, for the results window's description.
  QString withJournalLocation(const QString& text) const;
  // The results window opened by the last segue, while it is open.
  QLDetailedResultsViewController* presentedResults() const { return presentedResults_; }

 public slots:
  void selectVolume();
  // Back to the pane's first choices and "Ready"; the target volume stays.
  virtual void reset();
  virtual void execute() = 0;

 protected:
  void viewDidLoad() override;
  virtual void renderLocalizedOutlets();
  // The pane's own controls, between the volume and the status line.
  QVBoxLayout* contentLayout() const { return contentLayout_; }
  // Enables or disables the pane's own choices while an operation runs.
  virtual void setChoicesEnabled(bool enabled) { (void)enabled; }
  // A new target volume was chosen: choices that depend on the volume are checked again.
  virtual void targetVolumeDidChange() {}

  void lockControls();
  void unlockControls();
  void updateRepairPermissionsProgress(const QVariant& context);
  void callRepairDiskPermissions();
  void callRebuidCaches();
  // "QLSBSegueIDMaintenance2DetailedResults" and "QLSBSegueIDInstallation2DetailedResults"
  // open the detailed results window over the pane's window with `result`.
  void performSegue(const QString& identifier);
  // False, with an alert, when there is no target volume or no helper to call.
  bool canCallHelper();
  void showVolume();

  // A reply block that runs `then` on the GUI thread, and only while the pane lives: the
  // helper answers on its connection thread. A reply that says the helper refused the call
  // goes to didRefuse instead, once for the calls made together.
  template <typename T, typename F>
  QLReply<T> replyOnMain(F then) {
    refusalShown_ = false;
    return replyOnMainThread<T>(
        this, [this, then = std::move(then)](T value, std::optional<QLXPCHelperRefusal> refusal) mutable {
          if (!refusal) return then(std::move(value));
          if (refusalShown_) return;
          refusalShown_ = true;
          didRefuse(*refusal);
        });
  }
  // The helper refused the operation under way and changed nothing: the pane stops, says
  // why (not authorized, or what is wrong with the volume) and unlocks.
  virtual void didRefuse(const QLXPCHelperRefusal& refusal);
  // The alert that says it.
  void showRefusal(const QLXPCHelperRefusal& refusal);

 private:
  // The pane's controls while an operation runs (false) and after it; the window hears of it.
  void setControlsEnabled(bool enabled);

  bool refusalShown_ = false;
  QVBoxLayout* contentLayout_ = nullptr;
  QPointer<QLDetailedResultsViewController> presentedResults_;
};

}  // namespace tarnix
