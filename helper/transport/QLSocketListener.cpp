#include "helper/transport/QLSocketListener.h"

#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {

namespace {

// Nothing at `path`, or a socket, which may be replaced.
bool replaceable(const std::string& path, std::string& error) {
  if (platform::isSocketOrMissing(path)) return true;
  error = path + " exists and is not a socket";
  return false;
}

}  // namespace

std::unique_ptr<QLSocketListener> QLSocketListener::bind(asio::io_context& io, const std::string& path,
                                                         std::string& error) {
  // Bound and listening under a name of its own first, then renamed into place: a client that
  // finds the path can connect at once (and a stale socket is replaced in one step).
  const std::string staging = path + ".new";
  if (path.empty() || staging.size() >= sizeof(sockaddr_un::sun_path)) {
    error = "socket path is empty or too long";
    return nullptr;
  }
  if (!replaceable(path, error) || !replaceable(staging, error)) return nullptr;
  platform::removeFile(staging);
  std::error_code code;
  Acceptor acceptor(io);
  acceptor.open(asio::local::stream_protocol(), code);
  // Open to every local user, as the installed socket is: who is served, and what each may
  // change, is the daemon's to decide (its policy, then polkit), not the socket's mode.
  if (!code) {
    platform::CreationMask mask(0111);
    acceptor.bind(asio::local::stream_protocol::endpoint(staging), code);
  }
  if (!code) {
    if (const int failed = platform::setModeNoFollow(staging, 0666))
      code = std::error_code(failed, std::generic_category());
  }
  if (!code) acceptor.listen(asio::socket_base::max_listen_connections, code);
  if (!code) {
    if (const int failed = platform::renamePath(staging, path)) code = std::error_code(failed, std::generic_category());
  }
  if (code) {
    platform::removeFile(staging);
    error = "cannot listen on " + path + ": " + code.message();
    return nullptr;
  }
  return std::make_unique<QLSocketListener>(io, std::move(acceptor));
}

std::unique_ptr<QLSocketListener> QLSocketListener::adopt(asio::io_context& io, int listeningFd, std::string& error) {
  std::error_code code;
  Acceptor acceptor(io);
  acceptor.assign(asio::local::stream_protocol(), listeningFd, code);
  if (code) {
    error = "cannot use the activation socket: " + code.message();
    return nullptr;
  }
  return std::make_unique<QLSocketListener>(io, std::move(acceptor));
}

void QLSocketListener::start(Policy policy, ConnectionHandler onConnection, QLSocketConnection::Limits limits) {
  policy_ = std::move(policy);
  onConnection_ = std::move(onConnection);
  limits_ = limits;
  acceptNext();
}

void QLSocketListener::stop() {
  std::error_code ignored;
  acceptor_.cancel(ignored);
}

void QLSocketListener::acceptNext() {
  acceptor_.async_accept([this](std::error_code error, QLSocketConnection::Socket socket) {
    if (error == asio::error::operation_aborted) return;
    if (error) {
      // Out of descriptors, say: try again shortly rather than spin.
      platform::diagnostic("QLXPCHelperListener::listener()", "Error: cannot accept: " + error.message() + ".");
      retry_.expires_after(std::chrono::milliseconds(100));
      return retry_.async_wait([this](std::error_code waited) {
        if (!waited) acceptNext();
      });
    }
    auto connection = QLSocketConnection::create(std::move(socket), limits_);
    const auto peer = connection->peer();
    if (policy_ && policy_(peer)) {
      onConnection_(std::move(connection));
    } else {
      platform::diagnostic("QLXPCHelperListener::shouldAcceptNewConnection()",
                           peer ? "Refused a connection from uid " + std::to_string(peer->uid) + " (pid " +
                                      std::to_string(peer->pid) + ")."
                                : std::string("Refused a connection whose credentials cannot be read."));
      connection->close();
    }
    acceptNext();
  });
}

}  // namespace tarnix
