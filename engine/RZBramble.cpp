#include "engine/RZBramble.h"

#include <cmath>

#include "platform/Clock.h"
#include "platform/Processor.h"

namespace tarnix {

double roundToHundredths(double value) { return std::round(value * 100) / 100; }

namespace {
long threadCount(std::int64_t requested, bool useAllProcessors) {
  const long processors = platform::onlineProcessorCount();
  if (!useAllProcessors && requested > 0 && requested <= processors) return static_cast<long>(requested);
  return processors;
}
}  // namespace

RZBramble::RZBramble(QLRepairPermissionsJobType jobType, const QLOSVolume& targetVolume, RZBrambleDelegate* delegate,
                     std::int64_t requestedThreads, bool useAllProcessors, double interval,
                     platform::VolumeTrees& trees)
    : jobType_(jobType),
      numThreads_(threadCount(requestedThreads, useAllProcessors)),
      interval_(interval < 0 ? 0 : interval),
      trees_(trees),
      packageManager_(targetVolume, numThreads_, trees),
      clock_(platform::monotonicNanoseconds) {
  packageManager_.setDelegate(this);
  delegate_ = delegate;
}

void RZBramble::setProgress(double value) {
  const std::uint64_t now = clock_();
  if (now - lastTime_ > static_cast<std::uint64_t>(interval_ * 1'000'000'000.0)) {
    if (delegate_) delegate_->globalProgressDidChangeWithNewProgress(value);
    lastTime_ = clock_();
  }
  progress_ = value;
}

std::vector<QLRepairPermissionsResult> RZBramble::run() {
  RZResultCollector collector;
  run(collector);
  return std::move(collector.results);
}

void RZBramble::run(RZResultSink& sink) {
  if (delegate_) delegate_->willSetupManager();
  auto resources = packageManager_.parse();
  total_ = static_cast<std::int64_t>(resources->size());
  QLFileSystemResourceManager manager(std::move(resources), numThreads_, trees_);
  manager.setDelegate(this);
  manager.setChangeObserver(observer_);
  if (delegate_) delegate_->didSetupManager();

  if (jobType_ == QLRepairPermissionsJobType::verifyPermissions) {
    if (delegate_) delegate_->willVerifyPermissions();
    manager.verify(sink);
    if (delegate_) delegate_->didVerifyPermissions();
  } else {
    if (delegate_) delegate_->willRepairPermissions();
    manager.repair(sink);
    if (delegate_) delegate_->didRepairPermissions();
  }
  setProgress(100);
}

void RZBramble::willGetPackages(const QLOSVolume&) { setProgress(0); }

void RZBramble::willParsePackages(const std::vector<QLStandardPackage>&) { setProgress(10); }

void RZBramble::didParsePackage(const QLStandardPackage&, std::int64_t parsed, std::int64_t total) {
  setProgress(roundToHundredths(static_cast<double>(parsed) / static_cast<double>(total) * 30) + 10);
}

void RZBramble::willCreateResources() { setProgress(40); }

void RZBramble::didCreateResource(std::int64_t created, std::int64_t total) {
  setProgress(roundToHundredths(static_cast<double>(created) / static_cast<double>(total) * 100 * 0.5) + 40);
}

void RZBramble::didVerifyResource(std::int64_t count, std::int64_t total) {
  setProgress(roundToHundredths(static_cast<double>(count) / static_cast<double>(total) * 10) + 90);
}

void RZBramble::didRepairResource(std::int64_t count, std::int64_t total) { didVerifyResource(count, total); }

}  // namespace tarnix
