#include "helper/QLHelperDaemon.h"

#include <unistd.h>

#include <asio.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "helper/QLHelperInstaller.h"
#include "helper/QLXPCPeerPolicy.h"
#include "helper/QLXPCTarnixHelper.h"
#include "helper/protocol/QLXPCHelperContextProxy.h"
#include "model/QLCPU.h"
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

std::string ownExecutable() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

int usage() {
  std::cerr << "usage: " << QLXPCHelper::kIdentifier << " [--listen PATH] | --install | --version\n";
  return 2;
}

}  // namespace

int runHelperDaemon(const std::vector<std::string>& arguments) {
  std::string listenPath;
  bool install = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument == "--listen" && i + 1 < arguments.size()) {
      listenPath = arguments[++i];
    } else if (argument == "--owner-uid" && i + 1 < arguments.size()) {
      // Units written by earlier versions still pass it; nobody is served for owning anything.
      ++i;
      platform::diagnostic("QLHelperListener::init()", "Ignoring --owner-uid: every caller asks polkit.");
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
    return installHelper(table, QLXPCHelper::kIdentifier, ownExecutable()) ? 0 : 1;
  }

  asio::io_context io;
  std::string error;
  std::unique_ptr<QLXPCListener> listener;
  if (!listenPath.empty()) {
    listener = QLXPCListener::bind(io, listenPath, error);
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
  const QLXPCPeerPolicy policy(::geteuid());
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
        // The listener admitted only peers whose credentials it could read.
        const auto peer = *connection->peer();
        platform::diagnostic("QLXPCHelperListener::shouldAcceptNewConnection()",
                             "Accepted a connection from uid " + std::to_string(peer.uid) + " (pid " +
                                 std::to_string(peer.pid) + ").");
        auto caller = std::make_shared<QLHelperCaller>(peer, policy.trusts(peer), QLCPU::shared().maxthread());
        auto receiver = std::make_shared<ConnectionReceiver>(connection);
        helper->addReceiver(receiver, peer.uid);  // the newest of its user receives progress
        std::weak_ptr<QLXPCConnection> weak = connection;
        connection->setMessageHandler([weak, stub, caller](const wire::Message& message) {
          auto self = weak.lock();
          if (!self) return false;
          QLXPCTarnixHelper::setCaller(caller);
          const std::uint64_t id = message.id;
          const bool dispatched = stub->dispatch(message, [weak, id](platform::Plist values) {
            if (auto alive = weak.lock()) alive->sendReply(id, std::move(values), QLXPCHelperRefusal::current());
          });
          QLXPCTarnixHelper::setCaller(nullptr);
          if (!dispatched)
            platform::diagnostic("QLXPCHelperListener::connection()", "Refused message " + message.selector + ".");
          return dispatched;
        });
        connection->setErrorHandler([&live, helper, raw = receiver.get()](const std::string& reason) {
          --live;
          helper->removeReceiver(raw);
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
