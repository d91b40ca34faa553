#pragma once
#include <string_view>

#include "bootconfig/QLRootlessOptionSet.h"

namespace tarnix {

struct QLBooterConfigOptionTag;
using QLBooterConfigOption = QLRootlessOptionSet<QLBooterConfigOptionTag>;

// The members of bootercfg.
namespace QLBooterConfigOptions {
inline constexpr QLBooterConfigOption rebootOnPanic{0x001};
inline constexpr QLBooterConfigOption hiDPI{0x002};
inline constexpr QLBooterConfigOption black{0x004};
inline constexpr QLBooterConfigOption csrActiveConfig{0x008};
inline constexpr QLBooterConfigOption csrConfigMode{0x010};
inline constexpr QLBooterConfigOption csrBoot{0x020};
inline constexpr QLBooterConfigOption blackBackground{0x040};
inline constexpr QLBooterConfigOption loginUI{0x080};
inline constexpr QLBooterConfigOption installUI{0x100};
}  // namespace QLBooterConfigOptions

// The flags' names on the command line, by bit number.
inline constexpr std::string_view kQLBooterConfigFlagNames[] = {"reboot-on-panic",   "hidpi",           "black",
                                                                "csr-active-config", "csr-config-mode", "csr-boot",
                                                                "black-background",  "login-ui",        "install-ui"};

}  // namespace tarnix
