#pragma once
// Which polkit action each operation needs, and asking for it.
#include <functional>
#include <string>
#include <string_view>

#include "helper/QLHelperCaller.h"
#include "platform/Polkit.h"

namespace tarnix {

enum class QLHelperAction {
  repair,        // disk permissions, kext folder repair, cache rebuild
  installKexts,  // kext backup and install
  installTool,   // command-line tool install and uninstall, helper uninstall
  writeNvram,    // the booter word in firmware NVRAM
};

// "local.quillon.tarnix.repair" and so on, as the shipped policy declares them.
std::string_view actionId(QLHelperAction action);

// The question put to polkit (tests put their own in).
using QLPolkitQuestion = std::function<platform::PolkitAnswer(const platform::PeerCredentials&, const std::string&)>;

// Whether `caller` may perform `action`: a trusted caller may; anyone else only when polkit
// says so (no answer is a no). Blocks while polkit asks the person. One question at a time per
// caller: calls that were already waiting when the person refused the same action get the
// same no, so that a batch sent together asks once.
bool authorize(QLHelperCaller& caller, QLHelperAction action, const QLPolkitQuestion& ask);

}  // namespace tarnix
