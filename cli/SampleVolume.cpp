#include "cli/SampleVolume.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "engine/BomWriter.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"

namespace tarnix::cli {
namespace {

enum class Kind { folder, file, link };

struct Wrong {
  std::optional<std::uint32_t> uid;   // needs root
  std::optional<std::uint32_t> gid;   // needs root
  std::optional<std::uint32_t> mode;  // permission bits
};

struct Item {
  std::string path;  // "/usr/bin/sudo"
  Kind kind;
  std::uint32_t permissions;
  std::size_t package;
  std::string target = {};  // links
  Wrong wrong = {};
  std::optional<std::uint32_t> gid = std::nullopt;  // a group other than the default one
  bool onDisk = true;                               // false: named by a receipt, missing from the disk
};

struct Receipt {
  std::string file;  // beneath System/Library/Receipts
  std::string identifier;
  std::vector<std::string> groups;
  bool binary;
};

constexpr std::uint32_t kStaffUid = 501;
constexpr std::uint32_t kStaffGid = 20;

const std::vector<Receipt>& receipts() {
  static const std::vector<Receipt> list = {
      {"com.apple.pkg.BaseSystemBinaries.plist",
       "com.apple.pkg.BaseSystemBinaries",
       {"com.apple.snowleopard-repair-permissions.pkg-group", "com.apple.FindSystemFiles.pkg-group"},
       true},
      {"com.apple.pkg.Essentials.plist",
       "com.apple.pkg.Essentials",
       {"com.apple.snowleopard-repair-permissions.pkg-group"},
       false},
      {"Legacy/com.apple.pkg.X11User.plist", "com.apple.pkg.X11User", {"com.apple.FindSystemFiles.pkg-group"}, false},
      // Not in a repair group: its (wrong) prescriptions must be ignored.
      {"com.example.driver.plist", "com.example.driver", {"com.example.pkg-group"}, true},
  };
  return list;
}

std::vector<Item> fixedItems() {
  const std::uint32_t wheel = 0, tty = 4, admin = 80;
  std::vector<Item> items = {
      // BaseSystemBinaries
      {"/bin", Kind::folder, 0755, 0, {}, {}},
      {"/bin/ls", Kind::file, 0555, 0, {}, {}},
      // Right mode, wrong owner: changing the owner clears the set-user-id bit.
      {"/bin/ps", Kind::file, 04555, 0, {}, {kStaffUid, {}, {}}},
      {"/bin/sh", Kind::file, 0555, 0, {}, {{}, {}, 0777}},
      {"/usr", Kind::folder, 0755, 0, {}, {}},
      {"/usr/bin", Kind::folder, 0755, 0, {}, {}},
      {"/usr/bin/sudo", Kind::file, 04511, 0, {}, {{}, {}, 0511}},
      {"/usr/bin/login", Kind::file, 04555, 0, {}, {kStaffUid, kStaffGid, {}}},
      {"/usr/bin/crontab", Kind::file, 04555, 0, {}, {}},
      {"/usr/bin/wall", Kind::file, 02555, 0, {}, {{}, kStaffGid, {}}, tty},
      {"/usr/sbin", Kind::folder, 0755, 0, {}, {}},
      {"/usr/sbin/traceroute", Kind::file, 04555, 0, {}, {{}, {}, 0777}},
      {"/private", Kind::folder, 0755, 0, {}, {}},
      {"/private/etc", Kind::folder, 0755, 0, {}, {}},
      {"/private/etc/hosts", Kind::file, 0644, 0, {}, {{}, {}, 0666}},
      {"/private/etc/sudoers", Kind::file, 0440, 0, {}, {{}, {}, 0644}},
      {"/private/var", Kind::folder, 0755, 0, {}, {}},
      {"/private/tmp", Kind::folder, 01777, 0, {}, {{}, {}, 0755}},
      // Links: absolute targets resolve inside the volume, never on the host.
      {"/etc", Kind::link, 0777, 0, "private/etc", {}},
      {"/var", Kind::link, 0777, 0, "/private/var", {}},
      {"/tmp", Kind::link, 0777, 0, "private/tmp", {kStaffUid, kStaffGid, {}}},
      // Essentials
      {"/System", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library/CoreServices", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library/CoreServices/SystemVersion.plist", Kind::file, 0644, 1, {}, {}},
      {"/System/Library/Extensions", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library/Extensions/AppleHDA.kext", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library/Extensions/AppleHDA.kext/Contents", Kind::folder, 0755, 1, {}, {}},
      {"/System/Library/Extensions/AppleHDA.kext/Contents/Info.plist", Kind::file, 0644, 1, {}, {{}, {}, 0600}},
      {"/System/Library/Extensions/AppleHDA.kext/Contents/MacOS", Kind::folder, 0755, 1, {}, {kStaffUid, {}, {}}},
      {"/System/Library/Extensions/AppleHDA.kext/Contents/MacOS/AppleHDA", Kind::file, 0644, 1, {}, {}},
      {"/System/Library/Frameworks", Kind::folder, 0755, 1, {}, {}},
      {"/Library", Kind::folder, 0755, 1, {}, {{}, admin, {}}},
      {"/Library/Extensions", Kind::folder, 0755, 1, {}, {}},
      {"/Applications", Kind::folder, 0775, 1, {}, {{}, {}, 0777}, admin},
      {"/Applications/Utilities", Kind::folder, 0755, 1, {}, {}},
      // X11User, in a sub-folder of the receipts; /usr/bin is also named by the first receipt.
      {"/usr/X11", Kind::folder, 0755, 2, {}, {}},
      {"/usr/X11/bin", Kind::folder, 0755, 2, {}, {}},
      {"/usr/X11/bin/xterm", Kind::file, 0755, 2, {}, {kStaffUid, {}, 0700}},
      {"/usr/X11/lib", Kind::folder, 0755, 2, {}, {}},
  };
  Item missing{"/usr/X11/lib/libXt.dylib", Kind::file, 0755, 2, {}, {}};
  missing.onDisk = false;
  items.push_back(missing);
  (void)wheel;
  return items;
}

// Folders of files and links under /System/Library/Frameworks, a bulk like a real system's.
// Each folder's items follow it, as in the receipts Apple writes.
void addBulk(std::vector<Item>& items, std::size_t files) {
  const std::size_t folders = std::max<std::size_t>(4, files / 89);
  const std::size_t links = std::max<std::size_t>(2, files * 10 / 89);
  const auto firstOf = [folders](std::size_t count, std::size_t folder) { return count * folder / folders; };
  char name[160];
  char target[160];
  for (std::size_t f = 0; f < folders; ++f) {
    std::snprintf(name, sizeof name, "/System/Library/Frameworks/Sample%04zu.framework", f);
    const std::string folder = name;
    items.push_back({folder, Kind::folder, 0755, 1, {}, {}});
    for (std::size_t i = firstOf(files, f); i < firstOf(files, f + 1); ++i) {
      std::snprintf(name, sizeof name, "/Resource%06zu", i);
      Item item{folder + name, Kind::file, i % 10 == 3 ? 0755u : 0644u, 1, {}, {}};
      if (i % 7 == 1) item.wrong.mode = 0600;
      if (i % 11 == 2) item.wrong.uid = kStaffUid;
      if (i % 13 == 5) item.wrong.gid = kStaffGid;
      items.push_back(std::move(item));
    }
    const std::size_t next = (f + 1) % folders;
    for (std::size_t l = firstOf(links, f); l < firstOf(links, f + 1); ++l) {
      std::snprintf(name, sizeof name, "/Link%06zu", l);
      std::snprintf(target, sizeof target, "../Sample%04zu.framework/Resource%06zu", next, firstOf(files, next));
      Item item{folder + name, Kind::link, 0777, 1, target, {}};
      if (l % 9 == 4) item.wrong.uid = kStaffUid;
      items.push_back(std::move(item));
    }
  }
}

std::string systemVersionPlist() {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>ProductBuildVersion</key>
	<string>17G65</string>
	<key>ProductCopyright</key>
	<string>1983-2018 Apple Inc.</string>
	<key>ProductName</key>
	<string>Mac OS X</string>
	<key>ProductUserVisibleVersion</key>
	<string>10.13.6</string>
	<key>ProductVersion</key>
	<string>10.13.6</string>
</dict>
</plist>
)";
}

std::string receiptBytes(const Receipt& receipt) {
  platform::Plist dict(plist_new_dict());
  plist_dict_set_item(dict.get(), "PackageIdentifier", plist_new_string(receipt.identifier.c_str()));
  plist_dict_set_item(dict.get(), "PackageVersion", plist_new_string("10.13.6.1.1.1530234567"));
  plist_dict_set_item(dict.get(), "InstallPrefixPath", plist_new_string("/"));
  plist_t groups = plist_new_array();
  for (const auto& group : receipt.groups) plist_array_append_item(groups, plist_new_string(group.c_str()));
  plist_dict_set_item(dict.get(), "PackageGroups", groups);
  return receipt.binary ? platform::toBinary(dict.get()) : platform::toXml(dict.get());
}

std::uint16_t typeBits(Kind kind) {
  switch (kind) {
    case Kind::folder: return 0040000;
    case Kind::link: return 0120000;
    case Kind::file: break;
  }
  return 0100000;
}

bool fail(std::string& error, const std::string& what, int code) {
  error = what + ": " + std::strerror(code);
  return false;
}

}  // namespace

bool makeSampleVolume(const SampleVolumeOptions& options, SampleVolumeSummary& summary, std::string& error) {
  namespace fs = std::filesystem;
  const std::string root = options.directory;
  std::error_code ec;
  if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
    error = root + " exists and is not empty; give a new or empty folder";
    return false;
  }
  if (int rc = platform::makeDirectories(root, 0755)) return fail(error, "cannot create " + root, rc);

  const bool asRoot = platform::currentUserId() == 0;
  const std::uint32_t uid = asRoot ? 0 : platform::currentUserId();
  const std::uint32_t gid = asRoot ? 0 : platform::currentGroupId();
  summary = {};
  summary.prescribesRoot = asRoot;

  std::vector<Item> items = fixedItems();
  addBulk(items, options.files);

  // The tree itself, every item with its prescribed attributes first.
  for (const auto& item : items) {
    if (!item.onDisk) continue;
    const std::string path = root + item.path;
    int rc = 0;
    switch (item.kind) {
      case Kind::folder: rc = platform::makeDirectories(path, 0755); break;
      case Kind::file:
        rc = platform::writeFile(
            path,
            item.path == "/System/Library/CoreServices/SystemVersion.plist" ? systemVersionPlist() : std::string(),
            0644);
        break;
      case Kind::link: rc = platform::makeSymlink(item.target, path); break;
    }
    if (rc != 0) return fail(error, "cannot create " + path, rc);
    const std::uint32_t itemGid = asRoot && item.gid ? *item.gid : gid;
    if (asRoot && (rc = platform::setOwnerNoFollow(path, uid, itemGid)) != 0)
      return fail(error, "cannot set the owner of " + path, rc);
    if (item.kind != Kind::link && (rc = platform::setModeNoFollow(path, item.permissions)) != 0)
      return fail(error, "cannot set the mode of " + path, rc);
    ++summary.entries;
  }

  // Receipts and their BOMs: every item under its package, with the folders above it.
  const std::string receiptsFolder = root + "/System/Library/Receipts";
  if (int rc = platform::makeDirectories(receiptsFolder + "/Legacy", 0755))
    return fail(error, "cannot create " + receiptsFolder, rc);
  std::vector<BomWriter> boms(receipts().size());
  std::vector<std::set<std::string>> listed(receipts().size());
  std::map<std::string, const Item*> byPath;
  for (const auto& item : items) byPath[item.path] = &item;
  for (auto& bom : boms) bom.addPath(".", 040755, uid, gid);
  const auto add = [&](std::size_t package, const Item& item, std::optional<std::uint32_t> permissions) {
    const std::uint32_t itemGid = asRoot && item.gid ? *item.gid : gid;
    boms[package].addPath("." + item.path,
                          static_cast<std::uint16_t>(typeBits(item.kind) | permissions.value_or(item.permissions)), uid,
                          itemGid, 0, item.target);
  };
  for (const auto& item : items) {
    std::vector<std::string> chain;
    for (std::string parent = fs::path(item.path).parent_path().string(); parent != "/" && !parent.empty();
         parent = fs::path(parent).parent_path().string())
      chain.insert(chain.begin(), parent);
    for (const auto& folder : chain)
      if (listed[item.package].insert(folder).second) add(item.package, *byPath.at(folder), std::nullopt);
    if (listed[item.package].insert(item.path).second) add(item.package, item, std::nullopt);
  }
  // The third-party receipt prescribes nonsense for items the repair groups own.
  for (const char* path : {"/usr", "/usr/bin", "/usr/bin/login"})
    if (listed[3].insert(path).second) add(3, *byPath.at(path), 0777);

  for (std::size_t r = 0; r < receipts().size(); ++r) {
    const std::string receiptPath = receiptsFolder + "/" + receipts()[r].file;
    if (int rc = platform::writeFile(receiptPath, receiptBytes(receipts()[r]), 0644))
      return fail(error, "cannot write " + receiptPath, rc);
    const std::string bomPath = receiptPath.substr(0, receiptPath.size() - 6) + ".bom";
    if (int rc = boms[r].writeTo(bomPath)) return fail(error, "cannot write " + bomPath, rc);
  }
  platform::writeFile(receiptsFolder + "/README.txt", "Not a receipt: ignored by the repair.\n", 0644);

  // Now the damage. Owners and groups of other users need root; folders stay traversable so
  // that an ordinary user can still read the tree.
  for (const auto& item : items) {
    if (!item.onDisk) continue;
    const std::string path = root + item.path;
    bool wrong = false;
    if (asRoot && (item.wrong.uid || item.wrong.gid)) {
      const std::uint32_t itemGid = item.gid ? *item.gid : gid;
      if (platform::setOwnerNoFollow(path, item.wrong.uid.value_or(uid), item.wrong.gid.value_or(itemGid)) == 0)
        wrong = true;
      // The owner change cleared any set-user-id bit: put the prescribed mode back so that only
      // the owner is wrong.
      if (item.kind != Kind::link) platform::setModeNoFollow(path, item.permissions);
    }
    if (item.wrong.mode && item.kind != Kind::link) {
      const std::uint32_t mode = item.kind == Kind::folder ? (*item.wrong.mode | 0700) : *item.wrong.mode;
      if (platform::setModeNoFollow(path, mode) == 0) wrong = true;
    }
    if (wrong) ++summary.wrongItems;
  }
  summary.receipts = receipts().size();
  return true;
}

}  // namespace tarnix::cli
