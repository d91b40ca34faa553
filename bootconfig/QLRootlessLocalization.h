#pragma once
// Every text of the SIP and booter configuration panes.
#include <array>

#include "bootconfig/QLLocalizedKey.h"

namespace tarnix {

// Shared alert titles.
inline constexpr QLLocalizedKey kQLMainAbstractVCAnErrorOccured{"kQLMainAbstractVCAnErrorOccured", "An error occurred"};
inline constexpr QLLocalizedKey kQLMainAbstractVCFinished{"kQLMainAbstractVCFinished", "Finished"};
inline constexpr QLLocalizedKey kQLInstallationVCChoose{"kQLInstallationVCChoose", "Choose"};

// The abstract rootless pane.
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCSelectBootloaderConfiguration{
    "kQLMainAbstractRootlessVCSelectBootloaderConfiguration",
    "Select a Clover, Chameleon or OpenCore configuration file"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCRefresh{"kQLMainAbstractRootlessVCRefresh", "Refresh"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCApplyViaNVRAM{"kQLMainAbstractRootlessVCApplyViaNVRAM",
                                                                       "Apply via NVRAM"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCApplyViaConfig{"kQLMainAbstractRootlessVCApplyViaConfig",
                                                                        "Apply via Bootloader Config"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCCurrentValue{"kQLMainAbstractRootlessVCCurrentValue",
                                                                      "Current value: "};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNewValue{"kQLMainAbstractRootlessVCNewValue", "New value: "};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration{
    "kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration",
    "The selected file is not a Clover, Chameleon or OpenCore configuration file."};

// The chosen file's own word, beside the NVRAM one: "config.plist: 0xa87 (2695)".
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCConfigWordNotSet{"kQLMainAbstractRootlessVCConfigWordNotSet",
                                                                          "not set"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCConfigWordUnreadable{
    "kQLMainAbstractRootlessVCConfigWordUnreadable", "not a readable value"};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCConfigWordNotSupported{
    "kQLMainAbstractRootlessVCConfigWordNotSupported", "not supported by this bootloader"};
// Why a save failed.
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCFileNotWritten{"kQLMainAbstractRootlessVCFileNotWritten",
                                                                        "%1 could not be written: %2."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCFileInTheWay{
    "kQLMainAbstractRootlessVCFileInTheWay",
    "The file holds something else where the word belongs; it was left as it was."};
// After a save.
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCPreviousFileKept{"kQLMainAbstractRootlessVCPreviousFileKept",
                                                                          "The previous file was kept as %1."};
// Why a firmware variable could not be written.
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMUnsupported{
    "kQLMainAbstractRootlessVCNVRAMUnsupported",
    "This system has no firmware variables: it was not started through UEFI, or efivarfs is not mounted."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMNotPermitted{
    "kQLMainAbstractRootlessVCNVRAMNotPermitted", "Not permitted: only root may write firmware variables."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMReadOnly{
    "kQLMainAbstractRootlessVCNVRAMReadOnly",
    "The variable is read-only: the firmware protects it, or efivarfs is mounted read-only."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMFailed{"kQLMainAbstractRootlessVCNVRAMFailed",
                                                                     "The firmware refused the value (%1)."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMNoHelper{
    "kQLMainAbstractRootlessVCNVRAMNoHelper", "Tarnix is not connected to its helper, which writes the variable."};
inline constexpr QLLocalizedKey kQLMainAbstractRootlessVCNVRAMHelperFailed{
    "kQLMainAbstractRootlessVCNVRAMHelperFailed",
    "The helper could not write the variable; its log says why (journalctl -u local.quillon.tarnix.helper)."};

// The bootloader file chooser.
inline constexpr QLLocalizedKey kQLBootloaderFileChooserTitle{"kQLBootloaderFileChooserTitle",
                                                              "Bootloader Configuration"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserFound{
    "kQLBootloaderFileChooserFound", "Configuration files on the mounted EFI partitions and macOS volumes:"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserSearching{"kQLBootloaderFileChooserSearching", "Searching…"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserNothingFound{
    "kQLBootloaderFileChooserNothingFound", "No configuration file was found. Browse for it, or mount its partition."};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserBrowse{"kQLBootloaderFileChooserBrowse", "Browse…"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserSearchAgain{"kQLBootloaderFileChooserSearchAgain",
                                                                    "Search Again"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserMountPartition{
    "kQLBootloaderFileChooserMountPartition",
    "The EFI system partition %1 is not mounted. Mount it with:\nudisksctl mount -b %1"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserNoEfiPartition{
    "kQLBootloaderFileChooserNoEfiPartition",
    "No EFI partition is mounted. Find it with:\nlsblk -o NAME,PARTTYPENAME,FSTYPE,MOUNTPOINTS\nand mount it "
    "with:\nudisksctl mount -b /dev/NAME"};
inline constexpr QLLocalizedKey kQLBootloaderFileChooserUnreadable{
    "kQLBootloaderFileChooserUnreadable",
    "Only root can read the EFI partition at %1. To work on its files, mount it for yourself:\n"
    "sudo umount %1 && udisksctl mount -b %2"};
inline constexpr QLLocalizedKey kQLBootloaderConfigClover{"kQLBootloaderConfigClover", "Clover"};
inline constexpr QLLocalizedKey kQLBootloaderConfigChameleon{"kQLBootloaderConfigChameleon", "Chameleon"};
inline constexpr QLLocalizedKey kQLBootloaderConfigOpenCore{"kQLBootloaderConfigOpenCore", "OpenCore"};

// The SIP pane.
inline constexpr QLLocalizedKey kQLSIPConfigVCSIPStatusFull{"kQLSIPConfigVCSIPStatusFull",
                                                            "System Integrity Protection (csr-active-config)"};
inline constexpr QLLocalizedKey kQLSIPConfigVCNewSIPConfigNotExist{
    "kQLSIPConfigVCNewSIPConfigNotExist", "There is no new SIP configuration. Tick the flags you want first."};
inline constexpr QLLocalizedKey kQLSIPConfigVCApplySIPViaNVRAMUnsupported{
    "kQLSIPConfigVCApplySIPViaNVRAMUnsupported",
    "The SIP configuration can only be written to NVRAM from the recovery system. Apply it via the bootloader "
    "configuration file instead."};
inline constexpr QLLocalizedKey kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM{
    "kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM", "The new SIP configuration could not be written to NVRAM."};
inline constexpr QLLocalizedKey kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig{
    "kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig",
    "The new SIP configuration has been saved into the bootloader configuration file. Restart to use it."};
inline constexpr QLLocalizedKey kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig{
    "kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig",
    "The new SIP configuration could not be saved into the bootloader configuration file."};

// The booter pane.
inline constexpr QLLocalizedKey kQLBooterConfigVCBooterConfigStatusFull{"kQLBooterConfigVCBooterConfigStatusFull",
                                                                        "Booter Configuration (bootercfg)"};
inline constexpr QLLocalizedKey kQLBooterConfigVCNewBooterConfigNotExist{
    "kQLBooterConfigVCNewBooterConfigNotExist", "There is no new booter configuration. Tick the flags you want first."};
inline constexpr QLLocalizedKey kQLBooterConfigVCBooterConfigAppliedViaNVRAM{
    "kQLBooterConfigVCBooterConfigAppliedViaNVRAM",
    "The new booter configuration has been written to NVRAM. Restart to use it."};
inline constexpr QLLocalizedKey kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM{
    "kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM",
    "The new booter configuration could not be written to NVRAM."};
inline constexpr QLLocalizedKey kQLBooterConfigVCBooterConfigNotSupportedByChameleon{
    "kQLBooterConfigVCBooterConfigNotSupportedByChameleon",
    "Chameleon has no booter configuration. Select a Clover or OpenCore configuration file."};
inline constexpr QLLocalizedKey kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig{
    "kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig",
    "The new booter configuration has been saved into the bootloader configuration file. Restart to use it."};
inline constexpr QLLocalizedKey kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig{
    "kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig",
    "The new booter configuration could not be saved into the bootloader configuration file."};

// Check-box labels, by bit number.
inline constexpr std::array<QLLocalizedKey, 9> kQLSIPConfigFlagLabels{{
    {"kQLSIPConfigVCB0AllowUntrustedKexts", "Allow untrusted kexts (0x1)"},
    {"kQLSIPConfigVCB1AllowUnrestrictedFileSystem", "Allow unrestricted file system (0x2)"},
    {"kQLSIPConfigVCB2AllowTaskForPID", "Allow task_for_pid (0x4)"},
    {"kQLSIPConfigVCB3AllowKernelDebugger", "Allow kernel debugger (0x8)"},
    {"kQLSIPConfigVCB4AllowAppleInternal", "Allow Apple internal (0x10)"},
    {"kQLSIPConfigVCB5AllowUnrestrictedDtrace", "Allow unrestricted DTrace (0x20)"},
    {"kQLSIPConfigVCB6AllowUnrestrictedNVRAM", "Allow unrestricted NVRAM (0x40)"},
    {"kQLSIPConfigVCB7AllowDeviceConfiguration", "Allow device configuration (0x80)"},
    {"kQLSIPConfigVCB8PlaceholderBaseSystem", "Allow any recovery OS (0x100)"},
}};
inline constexpr std::array<QLLocalizedKey, 9> kQLBooterConfigFlagLabels{{
    {"kQLBooterConfigVCB0RebootOnPanic", "Reboot on panic (0x1)"},
    {"kQLBooterConfigVCB1HiDPI", "HiDPI (0x2)"},
    {"kQLBooterConfigVCB2Black", "Black screen (0x4)"},
    {"kQLBooterConfigVCB3CSRActiveConfig", "CSR active config (0x8)"},
    {"kQLBooterConfigVCB4CSRConfigMode", "CSR config mode (0x10)"},
    {"kQLBooterConfigVCB5CSRBoot", "CSR boot (0x20)"},
    {"kQLBooterConfigVCB6BlackBackground", "Black background (0x40)"},
    {"kQLBooterConfigVCB7LoginUI", "Login UI (0x80)"},
    {"kQLBooterConfigVCB8InstallUI", "Install UI (0x100)"},
}};

}  // namespace tarnix
