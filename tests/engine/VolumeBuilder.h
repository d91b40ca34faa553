#pragma once
// Builds small macOS-shaped volumes on disk for the engine's tests.
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/BomWriter.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"

namespace tarnix::test {

inline void writeSystemVersion(const std::string& root) {
  ASSERT_EQ(platform::makeDirectories(root + "/System/Library/CoreServices"), 0);
  ASSERT_EQ(platform::writeFile(root + "/System/Library/CoreServices/SystemVersion.plist",
                                "<plist version=\"1.0\"><dict><key>ProductVersion</key><string>10.13.6</string>"
                                "<key>ProductBuildVersion</key><string>17G65</string></dict></plist>"),
            0);
}

inline std::string receiptPlist(const std::string& identifier, const std::vector<std::string>& groups, bool binary) {
  platform::Plist dict(plist_new_dict());
  plist_dict_set_item(dict.get(), "PackageIdentifier", plist_new_string(identifier.c_str()));
  plist_t array = plist_new_array();
  for (const auto& group : groups) plist_array_append_item(array, plist_new_string(group.c_str()));
  plist_dict_set_item(dict.get(), "PackageGroups", array);
  return binary ? platform::toBinary(dict.get()) : platform::toXml(dict.get());
}

struct BomItem {
  std::string path;  // "./usr/bin"
  std::uint16_t mode;
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
};

// Writes <root>/System/Library/Receipts/<name>.plist and .bom.
inline void writeReceipt(const std::string& root, const std::string& name, const std::string& identifier,
                         const std::vector<std::string>& groups, const std::vector<BomItem>& items,
                         bool binary = false) {
  const std::string base = root + "/System/Library/Receipts/" + name;
  const auto slash = base.rfind('/');
  ASSERT_EQ(platform::makeDirectories(base.substr(0, slash)), 0);
  ASSERT_EQ(platform::writeFile(base + ".plist", receiptPlist(identifier, groups, binary)), 0);
  BomWriter bom;
  for (const auto& item : items) ASSERT_TRUE(bom.addPath(item.path, item.mode, item.uid, item.gid)) << item.path;
  ASSERT_EQ(bom.writeTo(base + ".bom"), 0);
}

inline const std::string kGroupA = "com.apple.snowleopard-repair-permissions.pkg-group";
inline const std::string kGroupB = "com.apple.FindSystemFiles.pkg-group";

}  // namespace tarnix::test
