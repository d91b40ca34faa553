#include "engine/QLFileSystemResourceManager.h"

#include <algorithm>
#include <iterator>

#include "engine/RZSerialWorkingQueue.h"
#include "engine/RZWorkerPool.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

constexpr std::size_t kBatch = 256;  // items between two passes through the serial queue

// Hands the chunks' results to the sink in chunk order. The chunk at the front hands its
// results out as it makes them; the others keep theirs, compact, until every chunk before
// them is done. Used only under the serial working queue.
class OrderedHandOut {
 public:
  OrderedHandOut(std::size_t chunks, RZResultSink& sink, std::shared_ptr<const QLResourceList> resources,
                 QLRepairPermissionsJobType jobType)
      : waiting_(chunks), done_(chunks, false), sink_(sink), resources_(std::move(resources)), jobType_(jobType) {}

  void add(std::size_t chunk, const std::vector<RZAttributeMismatch>& found) {
    if (chunk == front_)
      handOut(found);
    else if (!found.empty())
      waiting_[chunk].push_back(found);  // kept batch by batch: no copy of all of them to grow
  }

  void finish(std::size_t chunk) {
    done_[chunk] = true;
    while (front_ < done_.size() && done_[front_]) {
      if (++front_ == done_.size()) break;
      for (const auto& batch : waiting_[front_]) handOut(batch);
      std::vector<std::vector<RZAttributeMismatch>>().swap(waiting_[front_]);
    }
  }

 private:
  // One batch: the results of at most kBatch items.
  void handOut(const std::vector<RZAttributeMismatch>& found) {
    if (found.empty()) return;
    made_.clear();
    for (const auto& mismatch : found) made_.emplace_back(jobType_, resources_, mismatch);
    sink_.didProduceResults(made_);
  }

  std::vector<std::vector<std::vector<RZAttributeMismatch>>> waiting_;
  std::vector<bool> done_;
  std::size_t front_ = 0;
  RZResultSink& sink_;
  std::shared_ptr<const QLResourceList> resources_;
  QLRepairPermissionsJobType jobType_;
  std::vector<QLRepairPermissionsResult> made_;
};

}  // namespace

void RZResultCollector::didProduceResults(std::span<QLRepairPermissionsResult> produced) {
  results.insert(results.end(), std::make_move_iterator(produced.begin()), std::make_move_iterator(produced.end()));
}

QLFileSystemResourceManager::QLFileSystemResourceManager(std::shared_ptr<const QLResourceList> resources,
                                                         long numThreads, platform::VolumeTrees& trees)
    : resources_(std::move(resources)), numThreads_(numThreads < 1 ? 1 : numThreads), trees_(trees) {}

std::vector<QLRepairPermissionsResult> QLFileSystemResourceManager::verify() {
  RZResultCollector collector;
  run(false, collector);
  return std::move(collector.results);
}

std::vector<QLRepairPermissionsResult> QLFileSystemResourceManager::repair() {
  RZResultCollector collector;
  run(true, collector);
  return std::move(collector.results);
}

void QLFileSystemResourceManager::verify(RZResultSink& sink) { run(false, sink); }

void QLFileSystemResourceManager::repair(RZResultSink& sink) { run(true, sink); }

void QLFileSystemResourceManager::run(bool repairing, RZResultSink& sink) {
  const QLResourceList& resources = *resources_;
  std::int64_t counter = 0;
  const auto total = static_cast<std::int64_t>(resources.size());
  auto& queue = RZSerialWorkingQueue::shared();
  const auto chunks = chunksFor(resources.size(), numThreads_);
  OrderedHandOut handOut(
      chunks.size(), sink, resources_,
      repairing ? QLRepairPermissionsJobType::repairPermissions : QLRepairPermissionsJobType::verifyPermissions);

  runChunks(chunks, [&](std::size_t c, const RZChunk& chunk) {
    std::unique_ptr<platform::VolumeTree> tree;
    if (repairing) {
      tree = trees_.open(resources.mountPoint());
      if (!tree)
        platform::diagnostic("QLFileSystemResourceManager::repair()",
                             "Error: Failed to open " + resources.mountPoint());
    }
    std::vector<RZAttributeMismatch> found;
    found.reserve(3 * kBatch);
    std::size_t pending = 0;
    // With an observer, the changes of the next kBatch items are told to it and committed
    // before the first of them is made; the items it held back are left as they are.
    std::size_t announcedTo = chunk.first;
    std::vector<char> heldBack;
    for (std::size_t i = chunk.first; i <= chunk.last; ++i) {
      const QLFileSystemResource resource = resources[i];
      RZAttributeMismatch item[3];
      int count = 0;
      if (!repairing) {
        count = resource.verify(item);
      } else if (tree) {
        if (observer_ && i == announcedTo) {
          announcedTo = std::min(chunk.last + 1, i + kBatch);
          heldBack.assign(announcedTo - i, 0);
          for (std::size_t k = i; k < announcedTo; ++k)
            if (resources[k].needsRepair()) heldBack[k - i] = !resources[k].announceRepair(*observer_);
          if (!observer_->commit()) heldBack.assign(heldBack.size(), 1);
        }
        count = resource.applyRepair(*tree, item, observer_ && heldBack[i + heldBack.size() - announcedTo]);
      } else {
        // Without the volume nothing can be changed: every mismatch is a failure, not silence.
        count = resource.verify(item);
        for (int k = 0; k < count; ++k) item[k].status = QLFileSystemResourceAttributeStatus::failed;
      }
      found.insert(found.end(), item, item + count);
      // Progress and results go through the serial queue in small batches: the same calls in
      // the same order, one pass through the queue per batch.
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
          handOut.add(c, found);
          if (i == chunk.last) handOut.finish(c);
        });
        found.clear();
      }
    }
  });
}

}  // namespace tarnix
