#pragma once
// A package receipt: its identifier, its groups and the BOM file beside it.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

enum class QLPackageDataKey { PackageIdentifier, PackageGroups };
std::string_view rawValue(QLPackageDataKey key);

class QLPackage {
 public:
  // Reads the receipt at `path` (through the volume at `mountPoint` when the path lies in
  // it). Nothing when it is not a dictionary with a string "PackageIdentifier" and an array
  // of strings "PackageGroups".
  static std::optional<QLPackage> make(const std::string& path, const std::string& mountPoint = {});
  // The same from the receipt's bytes.
  static std::optional<QLPackage> fromBytes(std::string_view bytes, const std::string& path);

  const std::string& identifier() const { return identifier_; }
  const std::vector<std::string>& groups() const { return groups_; }
  // X.plist gives X.bom in the same folder.
  const std::string& bomPathString() const { return bomPathString_; }

  std::size_t hashValue() const;
  bool operator==(const QLPackage& other) const { return identifier_ == other.identifier_; }

 protected:
  QLPackage(std::string identifier, std::vector<std::string> groups, std::string bomPath)
      : identifier_(std::move(identifier)), groups_(std::move(groups)), bomPathString_(std::move(bomPath)) {}

 private:
  std::string identifier_;
  std::vector<std::string> groups_;
  std::string bomPathString_;
};

// The BOM path of a receipt: its last extension replaced by "bom".
std::string bomPathForReceipt(const std::string& receiptPath);

}  // namespace tarnix
