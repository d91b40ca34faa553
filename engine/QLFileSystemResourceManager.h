#pragma once
// Verifies or repairs a whole resource list on several threads.
#include <memory>
#include <vector>

#include "engine/QLFileSystemResource.h"
#include "engine/QLFileSystemResourceManagerDelegate.h"
#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZChangeObserver.h"
#include "engine/RZResultSink.h"
#include "platform/VolumeTree.h"

namespace tarnix {

class QLFileSystemResourceManager {
 public:
  // A repair opens its volume trees (each worker its own) on the list's mount point.
  QLFileSystemResourceManager(std::shared_ptr<const QLResourceList> resources, long numThreads,
                              platform::VolumeTrees& trees = platform::linuxVolumeTrees());

  QLFileSystemResourceManagerDelegate* delegate() const { return delegate_; }
  void setDelegate(QLFileSystemResourceManagerDelegate* delegate) { delegate_ = delegate; }
  // Told of every change a repair makes, before it is made; none by default.
  void setChangeObserver(RZChangeObserver* observer) { observer_ = observer; }

  // Blocking. The results of one chunk stay together and in item order; chunks follow each
  // other in the order they finished (here: the order of the chunks, one such order).
  std::vector<QLRepairPermissionsResult> verify();
  std::vector<QLRepairPermissionsResult> repair();
  // The same results handed to `sink` as they are made, in that order: the first chunk's at
  // once, a later chunk's kept compact until those before it are done.
  void verify(RZResultSink& sink);
  void repair(RZResultSink& sink);

  const QLResourceList& resources() const { return *resources_; }

 private:
  void run(bool repairing, RZResultSink& sink);

  QLFileSystemResourceManagerDelegate* delegate_ = nullptr;
  RZChangeObserver* observer_ = nullptr;
  std::shared_ptr<const QLResourceList> resources_;
  long numThreads_;
  platform::VolumeTrees& trees_;
};

// A sink that keeps every result, for the callers that want the whole list.
class RZResultCollector final : public RZResultSink {
 public:
  void didProduceResults(std::span<QLRepairPermissionsResult> results) override;
  std::vector<QLRepairPermissionsResult> results;
};

}  // namespace tarnix
