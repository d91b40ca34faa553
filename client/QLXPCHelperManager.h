#pragma once
// The application's owner of the helper: installs it with the user's authorization when its
// files are missing, connects, checks that it answers, hands out the proxy, and turns every
// failure into one delegate report and one error notification. No reconnection.
#include <memory>
#include <optional>
#include <string>

#include "client/QLXPCHelperManagerDelegate.h"
#include "helper/protocol/QLXPCHelper.h"
#include "helper/protocol/QLXPCHelperContextProtocol.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Process.h"

namespace tarnix {

class QLXPCHelperManager final : public QLXPCHelperContextProtocol {
 public:
  // TARNIX_HELPER_SOCKET, when set, names the helper's socket and skips installation.
  QLXPCHelperManager(QLXPCHelper helper, QLXPCHelperManagerDelegate* delegate,
                     const platform::HelperPlatformTable& table = platform::HelperPlatformTable::current(),
                     platform::ProcessRunner& runner = platform::linuxProcessRunner());
  ~QLXPCHelperManager() override;
  QLXPCHelperManager(const QLXPCHelperManager&) = delete;
  QLXPCHelperManager& operator=(const QLXPCHelperManager&) = delete;

  // Blocks while the authorization dialog is shown; the connected report comes later, on the
  // connection thread. The same as: install() when needsInstallation(), then connect().
  void installAndConnect();
  // Whether the helper's files are missing (and no socket is named by the environment), so
  // that connecting needs the install step first.
  bool needsInstallation() const;
  // The install step alone: asks the user through pkexec and blocks until the dialog is
  // answered. It touches nothing else of the manager, so an application may run it on a
  // worker thread to keep its window alive. False once the failure has been reported.
  bool install();
  // Connects to the named socket, or to the installed helper's.
  void connect();
  // Null until connected. Replies arrive on the connection thread.
  QLXPCTarnixHelperProtocol* proxy();

  const QLXPCHelper& helper() const { return helper_; }
  // Shown by polkit agents that support it is the policy's message; kept for the log.
  std::optional<std::string> prompt;

  void updateWithNewContext(QLXPCHelperContext context) override;

 private:
  struct Connection;
  void connect(const std::string& socketPath);
  void report(QLXPCHelperManagerError error, const std::optional<std::string>& information);

  QLXPCHelper helper_;
  QLXPCHelperManagerDelegate* delegate_;
  platform::HelperPlatformTable table_;
  platform::ProcessRunner& runner_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace tarnix
