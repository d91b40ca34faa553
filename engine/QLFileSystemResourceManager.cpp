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
  std::int64_t counter = 0;
  const auto total = static_cast<std::int64_t>(resources_.size());
  auto& queue = RZSerialWorkingQueue::shared();
  const auto chunks = chunksFor(resources_.size(), numThreads_);

  // A whole volume's results are tens of megabytes: they are written once, into one list
  // sized in advance, each chunk into a segment of its own (taken in chunk order, one of the
  // orders in which the chunks may finish). Slots a chunk did not need are closed up after.
  std::vector<std::size_t> offsets(chunks.size() + 1, 0);
  for (std::size_t c = 0; c < chunks.size(); ++c) {
    std::size_t bound = 0;
    for (std::size_t i = chunks[c].first; i <= chunks[c].last; ++i)
      bound += static_cast<std::size_t>(repairing ? resources_[i]->repairResultBound() : resources_[i]->mismatchCount());
    offsets[c + 1] = offsets[c] + bound;
  }
  std::vector<QLRepairPermissionsResult> shared(offsets.back(), QLRepairPermissionsResult());
  std::vector<std::size_t> used(chunks.size(), 0);

  runChunks(chunks, [&](std::size_t c, const RZChunk& chunk) {
    std::unique_ptr<platform::VolumeTree> tree;
    if (repairing) {
      tree = trees_.open(mountPoint_);
      if (!tree) platform::diagnostic("QLFileSystemResourceManager::repair()", "Error: Failed to open " + mountPoint_);
    }
    std::vector<QLRepairPermissionsResult> own;
    own.reserve(4);
    std::size_t written = offsets[c];
    std::size_t pending = 0;
    for (std::size_t i = chunk.first; i <= chunk.last; ++i) {
      const auto& resource = *resources_[i];
      own.clear();
      if (!repairing) {
        resource.verify(own);
      } else if (tree) {
        resource.repair(*tree, own);
      } else {
        // Without the volume nothing can be changed: every mismatch is a failure, not silence.
        for (auto& mismatch : resource.verify())
          own.emplace_back(QLRepairPermissionsJobType::repairPermissions, mismatch.fileSystemResource(),
                           mismatch.attributeMismatchedType(), mismatch.currentAttribute(),
                           mismatch.correctAttribute(), mismatch.correctAttribute(),
                           QLFileSystemResourceAttributeStatus::failed);
      }
      for (auto& result : own) shared[written++] = std::move(result);
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
    used[c] = written - offsets[c];
  });

  std::size_t end = 0;
  for (std::size_t c = 0; c < chunks.size(); ++c)
    for (std::size_t k = 0; k < used[c]; ++k) {
      if (end != offsets[c] + k) shared[end] = std::move(shared[offsets[c] + k]);
      ++end;
    }
  shared.erase(shared.begin() + static_cast<std::ptrdiff_t>(end), shared.end());
  return shared;
}

}  // namespace tarnix
