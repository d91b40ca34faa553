// Finding the bootloader's file on trees shaped like EFI partitions and macOS volumes, with the
// mounts given as /proc/self/mountinfo text and the partitions as sysfs and udev folders.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "TestSupport.h"
#include "bootconfig/QLBootloaderConfigSearch.h"
#include "bootconfig/QLRootlessLocalization.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

using Type = QLBootloaderConfigType;

class BootloaderSearch : public ::testing::Test {
 protected:
  std::string file(const std::string& relative) {
    const std::string path = dir_ / relative;
    EXPECT_EQ(platform::makeDirectories(path.substr(0, path.rfind('/'))), 0);
    EXPECT_EQ(platform::writeFile(path, "<plist/>"), 0);
    return path;
  }
  // One mountinfo line: the mount of `point` (beneath the temporary folder) of type `type`.
  std::string line(int id, const std::string& device, const std::string& point, const std::string& type,
                   const std::string& source, const std::string& options = "rw") {
    return std::to_string(id) + " 1 " + device + " / " + (dir_ / point) + " " + options + " shared:1 - " + type + " " +
           source + " rw\n";
  }
  test::TempDir dir_;
};

TEST_F(BootloaderSearch, FindsEachBootloadersFileWhereItLives) {
  const std::string openCore = file("esp/EFI/OC/config.plist");
  file("esp/EFI/OC/config-backup.plist");
  // FAT matches names in any case; the found path is spelled as on the disk.
  const std::string clover = file("usb/efi/Clover/CONFIG.PLIST");
  const std::string chameleon = file("mac/Extra/org.chameleon.Boot.plist");
  file("ext4/EFI/OC/config.plist");  // not a FAT file system: not an EFI partition
  file("mac/EFI/OC/config.plist");   // the macOS volume is searched for Chameleon only
  file("link-target/OC/config.plist");
  ASSERT_EQ(platform::makeDirectories(dir_ / "links"), 0);
  ASSERT_EQ(platform::makeSymlink(dir_ / "link-target", dir_ / "links/EFI"), 0);  // never followed
  ASSERT_EQ(platform::makeDirectories(dir_ / "esp/EFI/CLOVER/config.plist"), 0);  // a folder is no file

  QLBootloaderConfigPlaces places;
  places.mounts = platform::parseMountInfo(
      line(20, "8:1", "esp", "vfat", "/dev/sda1") + line(21, "8:17", "usb", "msdos", "/dev/sdb1") +
      line(22, "8:2", "ext4", "ext4", "/dev/sda2") + line(23, "8:18", "links", "vfat", "/dev/sdb2"));
  places.macOSVolumes = {dir_ / "mac", dir_ / "missing"};
  const auto result = QLBootloaderConfigSearch::search(places);

  EXPECT_EQ(result.found, (std::vector<QLBootloaderConfigCandidate>{
                              {openCore, Type::opencore}, {clover, Type::clover}, {chameleon, Type::chameleon}}));
  EXPECT_EQ(result.fatMountPoints, (std::vector<std::string>{dir_ / "esp", dir_ / "usb", dir_ / "links"}));
  EXPECT_TRUE(result.unreadable.empty());
  EXPECT_TRUE(QLBootloaderConfigSearch::hints(result).empty());
}

TEST_F(BootloaderSearch, SaysHowToMountAnEfiPartition) {
  // The kernel's block devices and udev's records of them: sda1 is an EFI system partition
  // (its type in upper case, as some udev versions write it), sda2 is not, nvme0n1p1 is one
  // that is mounted.
  const std::string sys = dir_ / "sys";
  const std::string udev = dir_ / "udev";
  ASSERT_EQ(platform::makeDirectories(udev), 0);
  const struct {
    const char* name;
    const char* number;
    const char* type;
  } partitions[] = {{"sda1", "8:1", "C12A7328-F81F-11D2-BA4B-00A0C93EC93B"},
                    {"sda2", "8:2", "0fc63daf-8483-4772-8e79-3d69d8477de4"},
                    {"nvme0n1p1", "259:1", "c12a7328-f81f-11d2-ba4b-00a0c93ec93b"},
                    {"sr0", "11:0", nullptr}};
  for (const auto& p : partitions) {
    ASSERT_EQ(platform::makeDirectories(sys + "/" + p.name), 0);
    ASSERT_EQ(platform::writeFile(sys + "/" + p.name + "/dev", std::string(p.number) + "\n"), 0);
    if (!p.type) continue;
    ASSERT_EQ(platform::writeFile(udev + "/b" + p.number, "S:disk/by-uuid/x\nE:ID_FS_TYPE=vfat\nE:ID_PART_ENTRY_TYPE=" +
                                                              std::string(p.type) + "\nE:ID_PART_ENTRY_TYPEX=y\n"),
              0);
  }
  const auto esps = platform::efiSystemPartitions(sys, udev);
  ASSERT_EQ(esps, (std::vector<platform::BlockPartition>{{"/dev/nvme0n1p1", "259:1"}, {"/dev/sda1", "8:1"}}));

  // Nothing mounted: each EFI system partition is named with the command that mounts it.
  QLBootloaderConfigPlaces places;
  places.efiSystemPartitions = esps;
  auto hints = QLBootloaderConfigSearch::hints(QLBootloaderConfigSearch::search(places));
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_EQ(hints[1].english(),
            "The EFI system partition /dev/sda1 is not mounted. Mount it with:\nudisksctl mount -b /dev/sda1");

  // One mounted (found by its device number): only the other is left to mount.
  places.mounts = platform::parseMountInfo(line(30, "259:1", "esp", "vfat", "/dev/disk/by-uuid/1234-ABCD"));
  const auto result = QLBootloaderConfigSearch::search(places);
  EXPECT_EQ(result.unmountedEfiSystemPartitions, (std::vector<platform::BlockPartition>{{"/dev/sda1", "8:1"}}));
  hints = QLBootloaderConfigSearch::hints(result);
  ASSERT_EQ(hints.size(), 1u);
  EXPECT_EQ(hints[0].key, kQLBootloaderFileChooserMountPartition);

  // No FAT file system and no partition known: how to find one.
  hints = QLBootloaderConfigSearch::hints(QLBootloaderConfigSearch::search({}));
  ASSERT_EQ(hints.size(), 1u);
  EXPECT_EQ(hints[0].key, kQLBootloaderFileChooserNoEfiPartition);
  EXPECT_TRUE(platform::efiSystemPartitions(dir_ / "no-sys", udev).empty());
}

TEST_F(BootloaderSearch, APartitionOnlyRootCanReadIsNamed) {
  file("esp/EFI/OC/config.plist");
  ASSERT_EQ(::chmod((dir_ / "esp/EFI").c_str(), 0), 0);
  QLBootloaderConfigPlaces places;
  places.mounts = platform::parseMountInfo(line(20, "8:1", "esp", "vfat", "/dev/sda1"));
  const std::string expected = "Only root can read the EFI partition at " + (dir_ / "esp") +
                               ". To work on its files, mount it for yourself:\nsudo umount " + (dir_ / "esp") +
                               " && udisksctl mount -b /dev/sda1";
  const auto searchAsUser = [&] {
    const auto result = QLBootloaderConfigSearch::search(places);
    const auto hints = QLBootloaderConfigSearch::hints(result);
    return result.found.empty() && result.unreadable.size() == 1 && hints.size() == 1 && hints[0].english() == expected;
  };
  if (::geteuid() != 0) {
    EXPECT_TRUE(searchAsUser());
  } else {
    // Root reads every folder: the search runs in a child that has become an ordinary user.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
          if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
              ::setresuid(65534, 65534, 65534) != 0)
            std::_Exit(2);
          std::_Exit(searchAsUser() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
  ::chmod((dir_ / "esp/EFI").c_str(), 0755);
}

TEST(FatMounts, ListsEachMountPointOnceWithTheMountOnTop) {
  const auto mounts = platform::parseMountInfo(
      "20 1 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
      "21 1 0:5 / /media/u/My\\040Stick rw - msdos /dev/sdb1 rw\n"
      "22 1 0:6 / /efi rw - autofs systemd-1 rw\n"
      "23 22 8:3 / /efi rw - vfat /dev/sda3 rw\n"
      "24 1 8:1 / /boot/efi rw - vfat /dev/sdc1 rw\n");
  const auto fat = platform::fatMounts(mounts);
  ASSERT_EQ(fat.size(), 3u);
  EXPECT_EQ(fat[0].mountPoint, "/media/u/My Stick");
  EXPECT_EQ(fat[1].source, "/dev/sda3");
  EXPECT_EQ(fat[2].mountPoint, "/boot/efi");
  EXPECT_EQ(fat[2].source, "/dev/sdc1");
  EXPECT_EQ(fat[2].device, "8:1");
}

}  // namespace
}  // namespace tarnix
