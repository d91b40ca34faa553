#include "engine/QLPackageManager.h"

#include <functional>
#include <memory>
#include <string_view>

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
// keeps that to about one cache miss per item. Paths are not kept: on a matching hash both are
// rebuilt from their records, which happens for the paths that two receipts share.
class PathSet {
 public:
  // Room for `most` items: the set never grows.
  PathSet(const QLResourceList& resources, std::size_t most) : resources_(resources) {
    std::size_t capacity = 16;
    while (capacity < most + most / 2) capacity <<= 1;
    slots_.resize(capacity);
  }
  // False when the path of `record` in `table` is in the set already; else the item the list
  // is about to append takes it.
  bool insert(std::size_t hash, std::uint16_t table, std::uint32_t record) {
    const std::size_t mask = slots_.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    bool built = false;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.index == 0) {
        slot = {tag, static_cast<std::uint32_t>(resources_.size() + 1)};
        return true;
      }
      if (slot.tag != tag) continue;
      if (!built) {
        candidate_.clear();
        resources_.appendRelativePath(table, record, candidate_);
        built = true;
      }
      taken_.clear();
      resources_[slot.index - 1].appendRelativePath(taken_);
      if (taken_ == candidate_) return false;
    }
  }

 private:
  struct Slot {
    std::uint32_t tag = 0;    // high bits of the hash
    std::uint32_t index = 0;  // 1 + index into the resources; 0 = empty
  };
  const QLResourceList& resources_;
  std::vector<Slot> slots_;
  std::string candidate_;
  std::string taken_;
};

// Builds the paths of one table's records in record order. A record usually extends the
// folder of the one before it, so that folder's path is kept rather than rebuilt.
class PathBuilder {
 public:
  explicit PathBuilder(const RZRecordTable& records) : records_(records) {}
  // "./System/Library" for record `index`; valid until the next call.
  const std::string& path(std::uint32_t index) {
    const RZFileSystemResource& record = records_[index];
    if (record.parent != RZRecordTable::kNoParent && record.parent == parent_) {
      path_.resize(parentLength_);
      path_.push_back('/');
      path_.append(records_.text(index));
      return path_;
    }
    path_.clear();
    records_.appendPath(index, path_);
    parent_ = record.parent;
    parentLength_ = path_.size() - record.textLength - (record.parent == RZRecordTable::kNoParent ? 0 : 1);
    return path_;
  }

 private:
  const RZRecordTable& records_;
  std::string path_;
  std::uint32_t parent_ = RZRecordTable::kNoParent;
  std::size_t parentLength_ = 0;
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

std::shared_ptr<QLResourceList> QLPackageManager::parse() {
  auto resources = QLResourceList::make(targetVolume_.mountPoint);

  if (delegate_) delegate_->willGetPackages(targetVolume_);
  auto packages = standardPackages(targetVolume_.mountPoint);
  if (packageFilter_)
    std::erase_if(packages, [&](const QLStandardPackage& package) { return package.identifier() != *packageFilter_; });
  if (delegate_) delegate_->didGetPackages(targetVolume_);
  if (delegate_) delegate_->willParsePackages(packages);

  // Each BOM's records (paths and prescriptions) stay for the whole run: the items name them.
  std::vector<std::pair<std::uint16_t, std::shared_ptr<const RZRecordTable>>> tables;
  std::int64_t parsed = 0;
  std::int64_t recordTotal = 0;
  for (const auto& package : packages) {
    RZBomParserWrapper wrapper(package.bomPathString());
    auto file = platform::mapFileInVolume(targetVolume_.mountPoint, package.bomPathString(), kBomLimit);
    if (!file || !wrapper.parseMapped(std::move(file))) continue;
    const auto table = resources->addRecords(wrapper.records());
    if (!table) {
      platform::diagnostic("QLPackageManager::parse()", "Error: Too many receipts; the rest are not read.");
      break;
    }
    ++parsed;
    recordTotal += wrapper.count();
    tables.emplace_back(*table, wrapper.records());
    if (delegate_) delegate_->didParsePackage(package, parsed, static_cast<std::int64_t>(packages.size()));
  }
  if (delegate_) delegate_->didParsePackages(packages);
  if (delegate_) delegate_->willCreateResources();

  std::int64_t created = 0;
  resources->reserve(static_cast<std::size_t>(recordTotal));
  PathSet seen(*resources, static_cast<std::size_t>(recordTotal));
  auto& queue = RZSerialWorkingQueue::shared();
  for (const auto& source : tables) {
    const std::uint16_t table = source.first;  // not a structured binding: clang 14 cannot capture one
    const RZRecordTable& records = *source.second;
    runChunks(chunksFor(records.count(), numThreads_), [&](std::size_t, const RZChunk& chunk) {
      auto tree = trees_.open(targetVolume_.mountPoint);
      if (!tree) {
        platform::diagnostic("QLPackageManager::parse()", "Error: Failed to open " + targetVolume_.mountPoint);
        return;
      }
      // Items are handed to the shared set in small batches: one pass through the serial
      // queue per batch rather than per item, with the same calls in the same order.
      struct Found {
        std::uint32_t record;
        std::size_t hash;
        platform::FileAttributes attributes;
      };
      std::vector<Found> batch;
      batch.reserve(kBatch);
      const auto hand = [&] {
        queue.sync([&] {
          for (const auto& found : batch) {
            if (seen.insert(found.hash, table, found.record)) resources->append(table, found.record, found.attributes);
            ++created;
            if (delegate_) delegate_->didCreateResource(created, recordTotal);
          }
        });
        batch.clear();
      };
      PathBuilder paths(records);
      for (auto i = static_cast<std::uint32_t>(chunk.first); i <= chunk.last; ++i) {
        const std::string& path = paths.path(i);
        if (path.empty()) continue;
        const std::string_view relative = std::string_view(path).substr(1);  // without the leading "."
        if (!QLResourceList::namesOneItemInTheVolume(relative)) continue;
        if (const auto attributes = tree->attributes(relative))
          batch.push_back({i, std::hash<std::string_view>{}(relative), *attributes});
        if (batch.size() == kBatch) hand();
      }
      if (!batch.empty()) hand();
    });
  }
  if (delegate_) delegate_->didCreateResources();
  return resources;
}

}  // namespace tarnix
