#include "engine/QLPackage.h"

#include <algorithm>
#include <functional>

#include "engine/QLStandardPackage.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"

namespace tarnix {
namespace {
constexpr std::size_t kReceiptLimit = 16u << 20;
}

std::string_view rawValue(QLPackageDataKey key) {
  return key == QLPackageDataKey::PackageIdentifier ? "PackageIdentifier" : "PackageGroups";
}

std::string bomPathForReceipt(const std::string& receiptPath) {
  const auto slash = receiptPath.rfind('/');
  const auto dot = receiptPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? receiptPath.substr(0, dot) : receiptPath) + ".bom";
}

std::optional<QLPackage> QLPackage::make(const std::string& path, const std::string& mountPoint) {
  const auto bytes = platform::readFileInVolume(mountPoint, path, kReceiptLimit);
  if (!bytes) return std::nullopt;
  return fromBytes(*bytes, path);
}

std::optional<QLPackage> QLPackage::fromBytes(std::string_view bytes, const std::string& path) {
  const auto receipt = platform::parseDictionary(bytes);
  if (!receipt) return std::nullopt;
  auto identifier = platform::dictString(receipt.get(), "PackageIdentifier");
  if (!identifier) return std::nullopt;
  auto groups = platform::dictStringArray(receipt.get(), "PackageGroups");
  if (!groups) return std::nullopt;
  return QLPackage(std::move(*identifier), std::move(*groups), bomPathForReceipt(path));
}

std::size_t QLPackage::hashValue() const { return std::hash<std::string>{}(identifier_); }

std::optional<QLStandardPackage> QLStandardPackage::make(const std::string& path, const std::string& mountPoint) {
  auto package = QLPackage::make(path, mountPoint);
  if (!package) return std::nullopt;
  return fromPackage(std::move(*package));
}

std::optional<QLStandardPackage> QLStandardPackage::fromPackage(QLPackage package) {
  if (!isInRepairGroup(package.groups())) return std::nullopt;
  return QLStandardPackage(std::move(package));
}

bool QLStandardPackage::isInRepairGroup(const std::vector<std::string>& groups) {
  const auto has = [&](std::string_view group) {
    return std::find(groups.begin(), groups.end(), group) != groups.end();
  };
  return has(kRepairGroupA) || has(kRepairGroupB);
}

}  // namespace tarnix
