#include "engine/QLFileSystemResourceManager.h"

#include <cerrno>
#include <iterator>

#include "engine/RZSerialWorkingQueue.h"
#include "engine/RZWorkerPool.h"
#include "platform/Log.h"

namespace tarnix {
namespace {
constexpr std::size_t kBatch = 256;
}

QLFileSystemResourceManager::QLFileSystemResourceManager(QLResourceList resources, long numThreads,
                                                         std::string mountPoint, platform::VolumeTrees& trees)
    : resources_(std::move(resources)),
      numThreads_(numThreads < 1 ? 1 : numThreads),
      mountPoint_(std::move(mountPoint)),
      trees_(trees) {}

std::vector<QLRepairPermissionsResult> QLFileSystemResourceManager::verify() { return run(false); }

std::vector<QLRepairPermissionsResult> QLFileSystemResourceManager::repair() { return run(true); }

std::vector<QLRepairPermissionsResult> QLFileSystemResourceManager::run(bool repairing) {
  std::vector<std::vector<QLRepairPermissionsResult>> finished;  // chunk lists, in finishing order
  std::int64_t counter = 0;
  const auto total = static_cast<std::int64_t>(resources_.size());
  auto& queue = RZSerialWorkingQueue::shared();

  runChunks(chunksFor(resources_.size(), numThreads_), [&](const RZChunk& chunk) {
    std::unique_ptr<platform::VolumeTree> tree;
    if (repairing) {
      tree = trees_.open(mountPoint_);
      if (!tree) platform::diagnostic("QLFileSystemResourceManager::repair()", "Error: Failed to open " + mountPoint_);
    }
    std::vector<QLRepairPermissionsResult> own;
    std::size_t pending = 0;
    for (std::size_t i = chunk.first; i <= chunk.last; ++i) {
      const auto& resource = *resources_[i];
      auto results = !repairing ? resource.verify()
                     : tree     ? resource.repair(*tree)
                                : std::vector<QLRepairPermissionsResult>{};
      if (repairing && !tree) {
        // Without the volume nothing can be changed: every mismatch is a failure, not silence.
        for (auto& mismatch : resource.verify())
          results.emplace_back(QLRepairPermissionsJobType::repairPermissions, mismatch.fileSystemResource(),
                               mismatch.attributeMismatchedType(), mismatch.currentAttribute(),
                               mismatch.correctAttribute(), mismatch.correctAttribute(),
                               QLFileSystemResourceAttributeStatus::failed);
      }
      own.insert(own.end(), std::make_move_iterator(results.begin()), std::make_move_iterator(results.end()));
      // Progress goes through the serial queue in small batches: the same calls in the same
      // order, one pass through the queue per batch.
      if (++pending == kBatch || i == chunk.last) {
        queue.sync([&] {
          for (; pending > 0; --pending) {
            ++counter;
            if (!delegate_) continue;
            if (repairing)
              delegate_->didRepairResource(counter, total);
            else
              delegate_->didVerifyResource(counter, total);
          }
        });
      }
    }
    queue.sync([&] { finished.push_back(std::move(own)); });
  });
  if (finished.size() == 1) return std::move(finished.front());
  std::size_t size = 0;
  for (const auto& list : finished) size += list.size();
  std::vector<QLRepairPermissionsResult> shared;
  shared.reserve(size);
  for (auto& list : finished) {
    shared.insert(shared.end(), std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
    std::vector<QLRepairPermissionsResult>().swap(list);  // give the memory back as we go
  }
  return shared;
}

}  // namespace tarnix
