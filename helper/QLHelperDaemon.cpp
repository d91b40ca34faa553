#include "helper/QLHelperDaemon.h"

#include <unistd.h>

#include <asio.hpp>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "helper/QLHelperInstaller.h"
#include "helper/QLXPCPeerPolicy.h"
#include "helper/QLXPCTarnixHelper.h"
#include "helper/protocol/QLXPCHelperContextProxy.h"
#include "helper/protocol/QLXPCTarnixHelperStub.h"
#include "helper/transport/QLXPCListener.h"
#include "platform/Log.h"
#include "platform/Systemd.h"

#ifndef TARNIX_HELPER_VERSION
#define TARNIX_HELPER_VERSION "0"
#endif

namespace tarnix {
namespace {

constexpr std::size_t kMaxConnections = 64;

// The progress receiver of one connection; keeps the connection alive while a job holds it.
class ConnectionReceiver final : public QLXPCHelperContextProtocol {
 public:
  explicit ConnectionReceiver(std::shared_ptr<QLXPCConnection> connection)
      : connection_(std::move(connection)), proxy_(*connection_) {}
  void updateWithNewContext(QLXPCHelperContext context) override { proxy_.updateWithNewContext(std::move(context)); }

 private:
  std::shared_ptr<QLXPCConnection> connection_;
  QLXPCHelperContextProxy proxy_;
};

bool parseUid(const std::string& text, uid_t& uid) {
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 0xFFFFFFFEul) return false;
  uid = static_cast<uid_t>(value);
  return true;
}

std::string ownExecutable() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

int usage() {
  std::cerr << "usage: " << QLXPCHelper::kIdentifier << " [--listen PATH] [--owner-uid N] | --install | --version\n";
  return 2;
}

}  // namespace

int runHelperDaemon(const std::vector<std::string>& arguments) {
  std::string listenPath;
  bool install = false;
  std::optional<uid_t> owner;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument == "--listen" && i + 1 < arguments.size()) {
      listenPath = arguments[++i];
    } else if (argument == "--owner-uid" && i + 1 < arguments.size()) {
      uid_t value = 0;
      if (!parseUid(arguments[++i], value)) return usage();
      owner = value;
    } else if (argument == "--install") {
      install = true;
    } else if (argument == "--version") {
      std::cout << TARNIX_HELPER_VERSION << "\n";
      return 0;
    } else {
      return usage();
    }
  }
  const auto& table = platform::HelperPlatformTable::current();

  if (install) {
    // pkexec names the user who asked; only root may install.
    if (::geteuid() != 0) {
      platform::diagnostic("QLHelperInstaller::install()", "Error: the install step must run as root.");
      return 1;
    }
    uid_t requester = 0;
    if (const char* pkexecUid = std::getenv("PKEXEC_UID")) parseUid(pkexecUid, requester);
    return installHelper(table, QLXPCHelper::kIdentifier, ownExecutable(), owner.value_or(requester)) ? 0 : 1;
  }

  asio::io_context io;
  std::string error;
  std::unique_ptr<QLXPCListener> listener;
  if (!listenPath.empty()) {
    listener = QLXPCListener::bind(io, listenPath, error);
    // Standalone, the user running the daemon is its owner.
    if (!owner) owner = ::getuid();
  } else if (const auto sockets = platform::activationSockets(); !sockets.empty()) {
    listener = QLXPCListener::adopt(io, sockets.front(), error);
  } else {
    error = "no socket: start it through its systemd socket or with --listen PATH";
  }
  if (!listener) {
    platform::diagnostic("QLXPCHelperListener::init()", "Error: " + error);
    return 1;
  }

  QLHelperServices services;
  services.table = table;
  services.version = TARNIX_HELPER_VERSION;
  services.postToMain = [&io](std::function<void()> block) { asio::post(io, std::move(block)); };
  services.exitProcess = [] {
    std::fflush(nullptr);
    ::_exit(0);
  };
  // Lives as long as the process: working threads may still hold it when the loop stops.
  auto* helper = new QLXPCTarnixHelper(QLXPCHelper::kIdentifier, TARNIX_HELPER_VERSION, std::move(services));
  auto* stub = new QLXPCTarnixHelperStub(*helper);
  const QLXPCPeerPolicy policy(owner.value_or(0), table.adminGroups);
  std::size_t live = 0;

  listener->start(
      [&policy](const std::optional<platform::PeerCredentials>& peer) { return policy.allows(peer); },
      [&, helper, stub](std::shared_ptr<QLXPCConnection> connection) {
        if (live >= kMaxConnections) {
          platform::diagnostic("QLXPCHelperListener::shouldAcceptNewConnection()", "Refused: too many connections.");
          connection->close();
          return;
        }
        ++live;
        auto receiver = std::make_shared<ConnectionReceiver>(connection);
        helper->setConnection(receiver);  // the newest connection receives progress
        std::weak_ptr<QLXPCConnection> weak = connection;
        connection->setMessageHandler([weak, stub](const wire::Message& message) {
          auto self = weak.lock();
          if (!self) return false;
          QLXPCTarnixHelper::setCallingPeer(self->peer());
          const std::uint64_t id = message.id;
          const bool dispatched = stub->dispatch(message, [weak, id](platform::Plist values) {
            if (auto alive = weak.lock()) alive->sendReply(id, std::move(values));
          });
          QLXPCTarnixHelper::setCallingPeer(std::nullopt);
          if (!dispatched)
            platform::diagnostic("QLXPCHelperListener::connection()", "Refused message " + message.selector + ".");
          return dispatched;
        });
        connection->setErrorHandler([&live, helper, raw = receiver.get()](const std::string& reason) {
          --live;
          helper->clearConnection(raw);
          platform::diagnostic("QLXPCHelperListener::connection()", "Connection ended: " + reason + ".");
        });
        connection->start();
      },
      wire::kMaxRequestFrame);

  asio::signal_set signals(io, SIGTERM, SIGINT);
  signals.async_wait([](std::error_code, int) {
    std::fflush(nullptr);
    ::_exit(0);
  });
  ::signal(SIGPIPE, SIG_IGN);
  platform::diagnostic("QLXPCHelperListener::run()", "Listening.");
  platform::notifyReady();
  io.run();
  return 0;
}

}  // namespace tarnix
