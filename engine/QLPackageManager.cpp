#include "engine/QLPackageManager.h"

#include <memory>
#include <string_view>
#include <functional>

#include "engine/RZBomParser.h"
#include "engine/RZSerialWorkingQueue.h"
#include "engine/RZWorkerPool.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

constexpr std::size_t kBomLimit = std::size_t{2} << 30;
constexpr std::size_t kBatch = 256;

std::string receiptsFolder(const std::string& mountPoint) {
  return (mountPoint.empty() ? std::string() : mountPoint) + "/System/Library/Receipts/";
}

bool hasPlistExtension(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return std::string_view(path).substr(dot + 1) == "plist";
}

// The set of paths already taken, as indices into the resource list. Hashes are computed by
// the workers, so the serial queue only probes: open addressing over one compact array
// keeps that to about one cache miss per item.
class PathSet {
 public:
  PathSet(const QLResourceList& resources, std::size_t expected) : resources_(resources) {
    std::size_t capacity = 16;
    while (capacity < expected + expected / 2) capacity <<= 1;
    slots_.resize(capacity);
  }
  // False when an equal path is already in the set; else `index` is taken for it.
  bool insert(std::size_t hash, const QLFileSystemResource& resource, std::uint32_t index) {
    if ((size_ + 1) * 3 > slots_.size() * 2) grow();
    if (!place(slots_, hash, &resource, index)) return false;
    ++size_;
    return true;
  }

 private:
  struct Slot {
    std::uint32_t tag = 0;    // high bits of the hash
    std::uint32_t index = 0;  // 1 + index into the resources; 0 = empty
  };
  bool place(std::vector<Slot>& slots, std::size_t hash, const QLFileSystemResource* resource,
             std::uint32_t index) const {
    const std::size_t mask = slots.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots[i];
      if (slot.index == 0) {
        slot = {tag, index + 1};
        return true;
      }
      if (resource && slot.tag == tag && resources_[slot.index - 1]->path() == resource->path()) return false;
    }
  }
  void grow() {
    std::vector<Slot> bigger(slots_.size() * 2);
    const std::size_t mask = bigger.size() - 1;
    for (const auto& slot : slots_) {
      if (slot.index == 0) continue;
      const std::size_t hash = std::hash<std::string_view>{}(resources_[slot.index - 1]->path());
      std::size_t i = hash & mask;
      while (bigger[i].index != 0) i = (i + 1) & mask;
      bigger[i] = slot;
    }
    slots_.swap(bigger);
  }
  const QLResourceList& resources_;
  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

}  // namespace

QLPackageManager::QLPackageManager(QLOSVolume targetVolume, long numThreads, platform::VolumeTrees& trees)
    : targetVolume_(std::move(targetVolume)), numThreads_(numThreads < 1 ? 1 : numThreads), trees_(trees) {}

std::vector<std::string> QLPackageManager::receiptPaths(const std::string& mountPoint) {
  const std::string folder = receiptsFolder(mountPoint);
  std::vector<std::string> paths;
  for (const auto& relative : platform::enumerateBeneath(mountPoint, "/System/Library/Receipts")) {
    std::string path = folder + relative;
    if (hasPlistExtension(path)) paths.push_back(std::move(path));
  }
  return paths;
}

std::vector<QLStandardPackage> QLPackageManager::standardPackages(const std::string& mountPoint) {
  std::vector<QLStandardPackage> packages;
  for (const auto& path : receiptPaths(mountPoint))
    if (auto package = QLStandardPackage::make(path, mountPoint)) packages.push_back(std::move(*package));
  return packages;
}

QLResourceList QLPackageManager::parse() {
  QLResourceList resources;

  if (delegate_) delegate_->willGetPackages(targetVolume_);
  auto packages = standardPackages(targetVolume_.mountPoint);
  if (packageFilter_)
    std::erase_if(packages, [&](const QLStandardPackage& package) { return package.identifier() != *packageFilter_; });
  if (delegate_) delegate_->didGetPackages(targetVolume_);
  if (delegate_) delegate_->willParsePackages(packages);

  std::vector<std::unique_ptr<RZBomParserWrapper>> wrappers;
  std::int64_t parsed = 0;
  std::int64_t recordTotal = 0;
  for (const auto& package : packages) {
    auto wrapper = RZBomParserWrapper::initWithFileName(package.bomPathString());
    auto file = platform::mapFileInVolume(targetVolume_.mountPoint, package.bomPathString(), kBomLimit);
    if (!file || !wrapper->parseMapped(std::move(file))) continue;
    ++parsed;
    recordTotal += wrapper->count();
    wrappers.push_back(std::move(wrapper));
    if (delegate_) delegate_->didParsePackage(package, parsed, static_cast<std::int64_t>(packages.size()));
  }
  if (delegate_) delegate_->didParsePackages(packages);
  if (delegate_) delegate_->willCreateResources();

  std::int64_t created = 0;
  resources.reserve(static_cast<std::size_t>(recordTotal));
  PathSet seen(resources, static_cast<std::size_t>(recordTotal));
  auto& queue = RZSerialWorkingQueue::shared();
  for (const auto& wrapper : wrappers) {
    const RZFileSystemResource* records = wrapper->results();
    runChunks(chunksFor(wrapper->count(), numThreads_), [&](std::size_t, const RZChunk& chunk) {
      auto tree = trees_.open(targetVolume_.mountPoint);
      if (!tree) {
        platform::diagnostic("QLPackageManager::parse()", "Error: Failed to open " + targetVolume_.mountPoint);
        return;
      }
      // Items are handed to the shared set in small batches: one pass through the serial
      // queue per batch rather than per item, with the same calls in the same order.
      std::vector<std::pair<std::size_t, std::shared_ptr<const QLFileSystemResource>>> batch;
      batch.reserve(kBatch);
      const auto hand = [&] {
        queue.sync([&] {
          for (auto& [hash, resource] : batch) {
            if (seen.insert(hash, *resource, static_cast<std::uint32_t>(resources.size())))
              resources.push_back(std::move(resource));
            ++created;
            if (delegate_) delegate_->didCreateResource(created, recordTotal);
          }
        });
        batch.clear();
      };
      for (std::size_t i = chunk.first; i <= chunk.last; ++i) {
        if (auto resource = QLFileSystemResource::make(records[i], targetVolume_, *tree)) {
          const std::size_t hash = std::hash<std::string_view>{}(resource->path());
          batch.emplace_back(hash, std::move(resource));
        }
        if (batch.size() == kBatch) hand();
      }
      if (!batch.empty()) hand();
    });
  }
  if (delegate_) delegate_->didCreateResources();
  return resources;
}

}  // namespace tarnix
