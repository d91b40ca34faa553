#pragma once
// The installer pane: takes the collected paths, installs each kext into its folder (one
// fixed folder, asked per kext, or from the smart table), repairs the volume's permissions,
// rebuilds its caches, posts the desktop notification and ends the application.
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

#include "model/QLKernelExtensionFolder.h"
#include "ui/QLMainAbstractMaintenanceViewController.h"

namespace tarnix::ezinstaller {

class QLEZInstallerBackdrop;

class QLMainEZInstallerViewController final : public QLMainAbstractMaintenanceViewController,
                                              public QLAbstractMaintenaceDelegate {
  Q_OBJECT
 public:
  explicit QLMainEZInstallerViewController(QWidget* parent = nullptr);

  // The kexts every install reply reported as failed, over the whole process.
  static std::vector<QLKernelExtension>& failedKexts();
  // The file names, each followed by one blank, without the last blank.
  static QString renderedNames(const std::vector<QLKernelExtension>& kexts);

  QLEZInstallerBackdrop* outletVisualEffectView = nullptr;
  int index = 0;
  QStringList files;

  // The collected paths (the notification's object). A collection that comes while a run is
  // going on waits for it, and only its new paths are installed then.
  void runWithANotification(const QVariant& object);
  // The folder chosen in the ask dialog; nothing for cancel.
  std::optional<QLKernelExtensionFolder> askInstallationFolder(const QLKernelExtension& kext);

  void execute() override {}

  void willRepairDiskPermissions() override;
  void didRepairDiskPermissionsWithResults(std::vector<QLRepairPermissionsRepresentableResult> results) override;
  void willRebuildCaches() override;
  void didRebuildCaches() override;
  void willBackupKexts() override {}
  void didBackupKexts(std::vector<QLKernelExtension>) override {}
  void willInstallKexts() override;
  void didInstallKexts(std::vector<QLKernelExtension> failed) override;

 protected:
  void viewDidLoad() override;
  void showEvent(QShowEvent* event) override;
  // The run ends at once; the notification says why.
  void didRefuse(const QLXPCHelperRefusal& refusal) override;

 private:
  void beginRun(const QStringList& paths);
  void install(std::vector<QLKernelExtension> kexts, QLKernelExtensionFolder folder);
  void finish();

  // The kexts of the install call under way (counted as failed when it is refused), and the
  // refusal that ended the run.
  std::vector<QLKernelExtension> installing_;
  std::optional<QLXPCHelperRefusal> refusal_;

  bool running_ = false;
  QSet<QString> handled_;
  std::optional<QStringList> pending_;
  std::size_t attempted_ = 0;
};

}  // namespace tarnix::ezinstaller
