#pragma once
// Accepts helper connections on a Unix socket (bound here, or handed over by systemd) and
// admits only peers the policy allows.
#include <asio.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "helper/transport/QLSocketConnection.h"

namespace tarnix {

class QLSocketListener {
 public:
  using Acceptor = asio::local::stream_protocol::acceptor;
  // Whether the peer may be served; nothing means its credentials could not be read.
  using Policy = std::function<bool(const std::optional<platform::PeerCredentials>& peer)>;
  using ConnectionHandler = std::function<void(std::shared_ptr<QLSocketConnection> connection)>;

  // Binds `path` (a stale socket there is replaced) with mode 0666. Null with `error` set.
  static std::unique_ptr<QLSocketListener> bind(asio::io_context& io, const std::string& path, std::string& error);
  // A listening socket passed by systemd.
  static std::unique_ptr<QLSocketListener> adopt(asio::io_context& io, int listeningFd, std::string& error);

  QLSocketListener(asio::io_context& io, Acceptor acceptor) : io_(io), acceptor_(std::move(acceptor)), retry_(io) {}
  // Starts accepting; admitted connections are created with `limits` but not started.
  void start(Policy policy, ConnectionHandler onConnection, QLSocketConnection::Limits limits);
  // Accepts no more; connections still waiting stay with the socket (systemd's, when it was
  // handed over, starts the daemon again for them).
  void stop();

 private:
  void acceptNext();

  asio::io_context& io_;
  Acceptor acceptor_;
  asio::steady_timer retry_;
  Policy policy_;
  ConnectionHandler onConnection_;
  QLSocketConnection::Limits limits_;
};

}  // namespace tarnix
