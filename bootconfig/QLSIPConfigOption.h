#pragma once
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

}  // namespace tarnix
