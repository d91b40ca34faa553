#pragma once
// The Maintenance pane: repair the three kext folders or the whole volume's permissions, and
// rebuild the kext caches, as one chain of helper calls.
#include <cstdint>
#include <optional>

#include "app/QLMaintenanceDelegate.h"
#include "ui/QLMainAbstractMaintenanceViewController.h"

class QCheckBox;
class QGroupBox;

namespace tarnix {

enum QLMaintenanceOptions : std::uint64_t {
  QLMaintenanceOptionRepairExtraFolder = 1,
  QLMaintenanceOptionRepairLEFolder = 2,
  QLMaintenanceOptionRepairSLEFolder = 4,
  QLMaintenanceOptionRepairDiskPermissions = 8,
  QLMaintenanceOptionRebuildCaches = 16,
};

class QLMaintenanceViewController final : public QLMainAbstractMaintenanceViewController, public QLMaintenanceDelegate {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDMaintenance";

  explicit QLMaintenanceViewController(QWidget* parent = nullptr);

  std::uint64_t maintenanceOptions = 0;
  std::optional<std::vector<QLRepairPermissionsRepresentableResult>> repairPermissionsResults;

  QGroupBox* boxSelectOperations = nullptr;
  QGroupBox* boxRepairPermissions = nullptr;
  QGroupBox* boxRebuildCaches = nullptr;
  QCheckBox* outletButtonRepairExtraFolder = nullptr;
  QCheckBox* outletButtonRepairLEFolder = nullptr;
  QCheckBox* outletButtonRepairSLEFolder = nullptr;
  QCheckBox* outletButtonRepairDiskPermissions = nullptr;
  QCheckBox* outletButtonRebuildCaches = nullptr;
  QLabel* outletFieldRepairExtraFolder = nullptr;
  QLabel* outletFieldRepairLEFolder = nullptr;
  QLabel* outletFieldRepairSLEFolder = nullptr;
  QLabel* outletFieldRepairDiskPermissions = nullptr;

 public slots:
  void reset() override;
  void execute() override;

 public:
  void willRepairDiskPermissions() override;
  void didRepairDiskPermissionsWithResults(std::vector<QLRepairPermissionsRepresentableResult> results) override;
  void willRebuildCaches() override;
  void didRebuildCaches() override;
  void willBackupKexts() override {}
  void didBackupKexts(std::vector<QLKernelExtension>) override {}
  void willInstallKexts() override {}
  void didInstallKexts(std::vector<QLKernelExtension>) override {}
  void willRepairFolders() override;
  void didRepairFolders() override;

 protected:
  void viewDidLoad() override;
  void renderLocalizedOutlets() override;
  void setChoicesEnabled(bool enabled) override;
  void targetVolumeDidChange() override;

 private:
  void setOption(std::uint64_t option, bool on);
  void repairFolders();
  void finishWithResults(std::vector<QLRepairPermissionsRepresentableResult> results);
  void finishWithMessage();
  QString finishedText() const;
  void finishCommon();
  void applyInitialState();
};

}  // namespace tarnix
