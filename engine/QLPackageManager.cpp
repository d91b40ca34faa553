#include "engine/QLPackageManager.h"

#include <memory>
#include <string_view>
#include <unordered_set>

#include "engine/RZBomParser.h"
#include "engine/RZSerialWorkingQueue.h"
#include "engine/RZWorkerPool.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

constexpr std::size_t kBomLimit = std::size_t{2} << 30;

std::string receiptsFolder(const std::string& mountPoint) {
  return (mountPoint.empty() ? std::string() : mountPoint) + "/System/Library/Receipts/";
}

bool hasPlistExtension(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return std::string_view(path).substr(dot + 1) == "plist";
}

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
  std::unordered_set<std::string_view> seen;  // views of the paths of `resources`

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
    auto bytes = platform::readFileInVolume(targetVolume_.mountPoint, package.bomPathString(), kBomLimit);
    if (!bytes || !wrapper->parseBytes(std::move(*bytes))) continue;
    ++parsed;
    recordTotal += wrapper->count();
    wrappers.push_back(std::move(wrapper));
    if (delegate_) delegate_->didParsePackage(package, parsed, static_cast<std::int64_t>(packages.size()));
  }
  if (delegate_) delegate_->didParsePackages(packages);
  if (delegate_) delegate_->willCreateResources();

  std::int64_t created = 0;
  resources.reserve(static_cast<std::size_t>(recordTotal));
  seen.reserve(static_cast<std::size_t>(recordTotal));
  auto& queue = RZSerialWorkingQueue::shared();
  for (const auto& wrapper : wrappers) {
    const RZFileSystemResource* records = wrapper->results();
    runChunks(chunksFor(wrapper->count(), numThreads_), [&](const RZChunk& chunk) {
      auto tree = trees_.open(targetVolume_.mountPoint);
      if (!tree) {
        platform::diagnostic("QLPackageManager::parse()", "Error: Failed to open " + targetVolume_.mountPoint);
        return;
      }
      for (std::size_t i = chunk.first; i <= chunk.last; ++i) {
        auto resource = QLFileSystemResource::make(records[i], targetVolume_, *tree);
        if (!resource) continue;
        queue.sync([&] {
          if (seen.insert(resource->path()).second) resources.push_back(std::move(resource));
          ++created;
          if (delegate_) delegate_->didCreateResource(created, recordTotal);
        });
      }
    });
  }
  if (delegate_) delegate_->didCreateResources();
  return resources;
}

}  // namespace tarnix
