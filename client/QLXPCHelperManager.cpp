#include "client/QLXPCHelperManager.h"

#include <asio.hpp>
#include <thread>

#include "helper/protocol/QLXPCHelperContextStub.h"
#include "helper/protocol/QLXPCTarnixHelperProxy.h"
#include "helper/transport/QLSocketConnection.h"
#include "platform/Log.h"
#include "platform/ThisProcess.h"

namespace tarnix {
namespace {
// pkexec's own exit codes: the dialog was dismissed, or authorization was refused.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
// How long a closing application waits for the helper to take what it still has to send.
constexpr std::chrono::seconds kFlushLimit{2};
}  // namespace

const char* messageKey(QLXPCHelperManagerError error) {
  switch (error) {
    case QLXPCHelperManagerError::failedToAuthenticate: return "kQLXPCHelperManagerFailedToAuthenticate";
    case QLXPCHelperManagerError::failedToInstallHelper: return "kQLXPCHelperManagerFailedToInstallHelper";
    case QLXPCHelperManagerError::failedToUninstallHelper: return "kQLXPCHelperManagerFailedToRemoveHelper";
    case QLXPCHelperManagerError::failedToEstablishHelperConnection:
      return "kQLXPCHelperManagerFailedToConnectToHelper";
  }
  return "";
}

// The connection thread and what lives on it.
struct QLXPCHelperManager::Connection {
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
  std::shared_ptr<QLSocketConnection> connection;
  std::unique_ptr<QLXPCTarnixHelperProxy> proxy;
  std::unique_ptr<QLXPCHelperContextStub> contextStub;
  std::thread thread;

  ~Connection() {
    // What was sent last (the quit sequence's terminate) still goes out.
    if (connection) connection->finish(kFlushLimit);
    work.reset();
    if (thread.joinable()) thread.join();
  }
};

QLXPCHelperManager::QLXPCHelperManager(QLXPCHelper helper, QLXPCHelperManagerDelegate* delegate,
                                       const platform::HelperPlatformTable& table, platform::ProcessRunner& runner)
    : helper_(helper), delegate_(delegate), table_(table), runner_(runner) {}

QLXPCHelperManager::~QLXPCHelperManager() = default;

QLXPCTarnixHelperProtocol* QLXPCHelperManager::proxy() { return connection_ ? connection_->proxy.get() : nullptr; }

void QLXPCHelperManager::report(QLXPCHelperManagerError error, const std::optional<std::string>& information) {
  if (delegate_) {
    delegate_->helperManagerDidFail(helper_, error, information);
    delegate_->postNotification({QLXPCHelperManagerNotification::error, error, std::nullopt});
  }
}

bool QLXPCHelperManager::install() {
  // pkexec asks the user through polkit and runs the shipped helper's own install step as root.
  const auto status = runner_.run(table_.pkexec, {table_.bundledHelper, "--install"});
  if (!status || *status == kPkexecDismissed || *status == kPkexecNotAuthorized) {
    report(QLXPCHelperManagerError::failedToAuthenticate, std::nullopt);
    return false;
  }
  if (*status != 0) {
    report(QLXPCHelperManagerError::failedToInstallHelper, std::nullopt);
    return false;
  }
  return true;
}

namespace {
std::optional<std::string> socketOverride() {
  auto socket = platform::environmentVariable("TARNIX_HELPER_SOCKET");
  if (socket && socket->empty()) return std::nullopt;
  return socket;
}
}  // namespace

bool QLXPCHelperManager::needsInstallation() const { return !socketOverride() && !helper_.isInstalled(table_); }

void QLXPCHelperManager::installAndConnect() {
  if (needsInstallation() && !install()) return;
  connect();
}

void QLXPCHelperManager::connect() {
  if (const auto socket = socketOverride()) return connect(*socket);
  connect(table_.installed(table_.socketPath));
}

void QLXPCHelperManager::connect(const std::string& socketPath) {
  connection_ = std::make_unique<Connection>();
  auto& state = *connection_;
  QLSocketConnection::Socket socket(state.io);
  std::error_code error;
  socket.connect(asio::local::stream_protocol::endpoint(socketPath), error);
  if (error) {
    report(QLXPCHelperManagerError::failedToEstablishHelperConnection, socketPath + ": " + error.message());
    return;
  }
  state.connection = QLSocketConnection::create(std::move(socket), {.maxIncomingFrame = wire::kMaxReplyFrame});
  state.proxy = std::make_unique<QLXPCTarnixHelperProxy>(*state.connection);
  state.contextStub = std::make_unique<QLXPCHelperContextStub>(*this);
  state.connection->setMessageHandler(
      [stub = state.contextStub.get()](const wire::Message& message) { return stub->dispatch(message); });
  state.connection->setErrorHandler([this](const std::string& reason) {
    report(QLXPCHelperManagerError::failedToEstablishHelperConnection, reason);
  });
  state.connection->start();
  state.thread = std::thread([&state] { state.io.run(); });

  state.proxy->test([this](std::int64_t answer) {
    if (answer != kQLHelperTestAnswer) return;  // not our helper: no notification at all
    if (!delegate_) return;
    delegate_->helperManagerDidConnect(helper_);
    delegate_->postNotification({QLXPCHelperManagerNotification::didConnectToHelper, std::nullopt, std::nullopt});
  });
}

void QLXPCHelperManager::updateWithNewContext(QLXPCHelperContext context) {
  if (!delegate_) return;
  delegate_->helperManagerDidReceiveContext(helper_, context);
  delegate_->postNotification({QLXPCHelperManagerNotification::didReceiveHelperContext, std::nullopt, context});
}

}  // namespace tarnix
