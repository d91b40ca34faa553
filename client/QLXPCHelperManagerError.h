#pragma once

namespace tarnix {

// The value carried by the error notification.
enum class QLXPCHelperManagerError : int {
  failedToAuthenticate = 0,
  failedToInstallHelper = 1,
  failedToUninstallHelper = 2,
  failedToEstablishHelperConnection = 3,
};

// The localization key of each error's message.
const char* messageKey(QLXPCHelperManagerError error);

}  // namespace tarnix
