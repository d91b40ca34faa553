#pragma once
// Why a boot word could not be written to the firmware variables, in the user's terms.
#include <vector>

#include "bootconfig/QLLocalizedKey.h"
#include "platform/FirmwareVariables.h"
#include "platform/Mounts.h"

namespace tarnix {

// From the errno value of a write made by this process.
QLLocalizedText QLNVRAMWriteFailureReason(int error);

// For a write the helper made and failed: what this process can see of the machine (no
// firmware variables, efivarfs mounted read-only), else the helper's log.
QLLocalizedText QLHelperNVRAMWriteFailureReason(platform::FirmwareVariables& variables,
                                                const std::vector<platform::Mount>& mounts);

}  // namespace tarnix
