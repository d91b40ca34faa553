#pragma once
#include <string_view>

#include "bootconfig/QLRootlessOptionSet.h"

namespace tarnix {

struct QLSIPConfigOptionTag;
using QLSIPConfigOption = QLRootlessOptionSet<QLSIPConfigOptionTag>;

// The members of csr-active-config.
namespace QLSIPConfigOptions {
inline constexpr QLSIPConfigOption allowUntrustedKexts{0x001};
inline constexpr QLSIPConfigOption allowUnrestrictedFileSystem{0x002};
inline constexpr QLSIPConfigOption allowTaskForPID{0x004};
inline constexpr QLSIPConfigOption allowKernelDebugger{0x008};
inline constexpr QLSIPConfigOption allowAppleInternal{0x010};
inline constexpr QLSIPConfigOption allowUnrestrictedDtrace{0x020};
inline constexpr QLSIPConfigOption allowUnrestrictedNVRAM{0x040};
inline constexpr QLSIPConfigOption allowDeviceConfiguration{0x080};
inline constexpr QLSIPConfigOption placeholderBaseSystem{0x100};
}  // namespace QLSIPConfigOptions

// The flags' names on the command line, by bit number.
inline constexpr std::string_view kQLSIPConfigFlagNames[] = {
    "allow-untrusted-kexts",    "allow-unrestricted-fs",      "allow-task-for-pid",
    "allow-kernel-debugger",    "allow-apple-internal",       "allow-unrestricted-dtrace",
    "allow-unrestricted-nvram", "allow-device-configuration", "allow-any-recovery-os"};

}  // namespace tarnix
