#pragma once
// One verify or repair run over a volume: receipts, resources, then the check or repair,
// with one overall percentage (receipts 10-40, resources 40-90, check 90-100).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/QLFileSystemResourceManager.h"
#include "engine/QLFileSystemResourceManagerDelegate.h"
#include "engine/QLPackageManager.h"
#include "engine/QLPackageManagerDelegate.h"
#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZBrambleDelegate.h"
#include "engine/RZChangeObserver.h"
#include "engine/RZResultSink.h"
#include "model/QLOSVolume.h"

namespace tarnix {

class RZBramble final : public QLPackageManagerDelegate, public QLFileSystemResourceManagerDelegate {
 public:
  // The thread count is the number of logical processors unless `useAllProcessors` is false
  // and 0 < `requestedThreads` <= that number.
  RZBramble(QLRepairPermissionsJobType jobType, const QLOSVolume& targetVolume, RZBrambleDelegate* delegate,
            std::int64_t requestedThreads, bool useAllProcessors, double interval,
            platform::VolumeTrees& trees = platform::linuxVolumeTrees());
  RZBramble(const RZBramble&) = delete;
  RZBramble& operator=(const RZBramble&) = delete;

  RZBrambleDelegate* delegate() const { return delegate_; }
  void setDelegate(RZBrambleDelegate* delegate) { delegate_ = delegate; }
  std::int64_t total() const { return total_; }
  long numThreads() const { return numThreads_; }
  double progress() const { return progress_; }
  QLPackageManager& packageManager() { return packageManager_; }

  // Blocking; run once. Every result at the end.
  std::vector<QLRepairPermissionsResult> run();
  // The same, with the results handed to `sink` while the check or repair goes on.
  void run(RZResultSink& sink);
  // Told of every change a repair makes, before it is made; none by default.
  void setChangeObserver(RZChangeObserver* observer) { observer_ = observer; }

  // The clock the throttle reads, nanoseconds since boot (tests replace it).
  void setClock(std::function<std::uint64_t()> clock) { clock_ = std::move(clock); }
  // The throttle: notifies the delegate when more than `interval` passed since the last
  // notification, then stores the value.
  void setProgress(double value);

  // The job is the delegate of both managers: their progress becomes its percentage.
  void willGetPackages(const QLOSVolume&) override;
  void didGetPackages(const QLOSVolume&) override {}
  void willParsePackages(const std::vector<QLStandardPackage>&) override;
  void didParsePackages(const std::vector<QLStandardPackage>&) override {}
  void didParsePackage(const QLStandardPackage&, std::int64_t parsed, std::int64_t total) override;
  void willCreateResources() override;
  void didCreateResource(std::int64_t created, std::int64_t total) override;
  void didCreateResources() override {}
  void didVerifyResource(std::int64_t count, std::int64_t total) override;
  void didRepairResource(std::int64_t count, std::int64_t total) override;

 private:
  RZBrambleDelegate* delegate_ = nullptr;
  std::int64_t total_ = 0;
  QLRepairPermissionsJobType jobType_;
  long numThreads_;
  double interval_;
  std::uint64_t lastTime_ = 0;
  double progress_ = 0;
  platform::VolumeTrees& trees_;
  QLPackageManager packageManager_;
  std::function<std::uint64_t()> clock_;
  RZChangeObserver* observer_ = nullptr;
};

// round(x * 100) / 100 with halves away from zero: the progress values' two decimals.
double roundToHundredths(double value);

}  // namespace tarnix
