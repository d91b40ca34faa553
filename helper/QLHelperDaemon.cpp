#include "helper/QLHelperDaemon.h"

#include <asio.hpp>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "helper/QLHelperInstaller.h"
#include "helper/QLHelperPeerPolicy.h"
#include "helper/QLXPCTarnixHelper.h"
#include "helper/protocol/QLXPCHelperContextProxy.h"
#include "helper/protocol/QLXPCTarnixHelperStub.h"
#include "helper/transport/QLSocketListener.h"
#include "model/QLCPU.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Systemd.h"
#include "platform/ThisProcess.h"

#ifndef TARNIX_HELPER_VERSION
#define TARNIX_HELPER_VERSION "0"
#endif

namespace tarnix {
namespace {

using namespace std::chrono_literals;

// What one connection may hold, and how long it may take (see docs/protocol.md).
constexpr std::size_t kMaxConnectionsPerUser = 16;
constexpr std::size_t kMaxUntrustedConnections = 128;  // root and the daemon's own user are not counted
constexpr QLSocketConnection::Limits kConnectionLimits{
    .maxIncomingFrame = wire::kMaxRequestFrame,
    .frameTimeout = 5s,
    .firstFrameTimeout = 5s,
    .writeTimeout = 30s,
    .maxQueuedBytes = 64u << 20,
};
// Output a repair's results may have waiting for the peer before the repair waits for it to
// read: the daemon never holds more of them than this for a client that stops reading.
constexpr std::size_t kResultWindow = 4u << 20;
// How long the replies of an ending daemon may take to leave.
constexpr QLSocketConnection::Duration kFlushLimit = 2s;
// A socket-activated daemon with no connection for this long ends; systemd starts it again.
constexpr std::chrono::seconds kActivatedIdleExit = 60s;

// The progress receiver of one connection; keeps the connection alive while a job holds it.
class ConnectionReceiver final : public QLXPCHelperContextProtocol {
 public:
  explicit ConnectionReceiver(std::shared_ptr<QLSocketConnection> connection)
      : connection_(std::move(connection)), proxy_(*connection_) {}
  void updateWithNewContext(QLXPCHelperContext context) override { proxy_.updateWithNewContext(std::move(context)); }

 private:
  std::shared_ptr<QLSocketConnection> connection_;
  QLXPCHelperContextProxy proxy_;
};

// Where one call's reply, and the parts ahead of it, go. Any thread; parts only from a worker.
class ConnectionReply final : public wire::ReplySender {
 public:
  ConnectionReply(std::weak_ptr<QLSocketConnection> connection, std::uint64_t id, bool acceptsParts)
      : wire::ReplySender(id), connection_(std::move(connection)), acceptsParts_(acceptsParts) {}
  void sendReply(platform::Plist values) override {
    if (auto alive = connection_.lock()) alive->sendReply(id(), std::move(values), QLXPCHelperRefusal::current());
  }
  void sendEncodedReply(std::string body) override {
    if (auto alive = connection_.lock()) alive->sendBody(std::move(body));
  }
  bool acceptsParts() const override { return acceptsParts_; }
  bool sendEncodedPart(std::string body) override {
    auto alive = connection_.lock();
    if (!alive || !acceptsParts_ || !alive->waitForRoom(kResultWindow)) return false;
    alive->sendBody(std::move(body));
    return true;
  }

 private:
  std::weak_ptr<QLSocketConnection> connection_;
  const bool acceptsParts_;
};

void log(const std::string& where, const std::string& text) { platform::diagnostic(where, text); }

[[noreturn]] void exitNow() { platform::exitImmediately(0); }

// The daemon's connections and when it ends, all on the main loop: connections are capped
// per user and in total (root and the daemon's own user never wait for others'); the daemon
// ends once asked to (terminate, or SIGTERM) and no operation runs, or when it has been idle.
class Daemon {
 public:
  Daemon(asio::io_context& io, QLSocketListener& listener, QLHelperPeerPolicy policy, std::chrono::seconds idleExit)
      : listener_(listener), policy_(policy), idleExit_(idleExit), idleTimer_(io) {}

  void serve(QLXPCTarnixHelper& helper, QLXPCTarnixHelperStub<QLXPCTarnixHelper>& stub) {
    helper_ = &helper;
    stub_ = &stub;
    listener_.start([this](const std::optional<platform::PeerCredentials>& peer) { return policy_.allows(peer); },
                    [this](std::shared_ptr<QLSocketConnection> connection) { accept(std::move(connection)); },
                    kConnectionLimits);
    armIdleExit();
  }

  // A caller sent terminate: the daemon ends once nothing runs and every connection still open
  // asked for it too (ending under another client would cut that one's connection).
  void terminateRequested() {
    terminating_ = true;
    considerExit();
  }
  void operationEnded() {
    considerExit();
    armIdleExit();
  }
  // SIGTERM or SIGINT: accept no more and end once no operation runs; a second one ends at once.
  void stopRequested() {
    if (stopping_) {
      log("QLXPCHelperListener::run()", "Stopping at once.");
      exitNow();
    }
    stopping_ = true;
    listener_.stop();
    log("QLXPCHelperListener::run()", "Stopping once no operation runs.");
    considerExit();
  }

 private:
  struct Live {
    std::shared_ptr<QLSocketConnection> connection;
    std::shared_ptr<QLHelperCaller> caller;
    const QLXPCHelperContextProtocol* receiver;
  };

  void accept(std::shared_ptr<QLSocketConnection> connection) {
    // The listener admitted only peers whose credentials it could read.
    const auto peer = *connection->peer();
    const bool trusted = policy_.trusts(peer);
    const std::string who = "uid " + std::to_string(peer.uid) + " (pid " + std::to_string(peer.pid) + ")";
    std::size_t& ofUser = perUser_[peer.uid];
    const char* refusal = nullptr;
    if (exiting_)
      refusal = "the helper is ending";
    else if (ofUser >= kMaxConnectionsPerUser)
      refusal = "that user has too many connections";
    else if (!trusted && untrusted_ >= kMaxUntrustedConnections)
      refusal = "too many connections";
    if (refusal) {
      if (ofUser == 0) perUser_.erase(peer.uid);
      log("QLXPCHelperListener::shouldAcceptNewConnection()",
          "Refused a connection from " + who + ": " + refusal + ".");
      connection->close();
      return;
    }
    ++ofUser;
    if (!trusted) ++untrusted_;
    idleTimer_.cancel();
    log("QLXPCHelperListener::shouldAcceptNewConnection()", "Accepted a connection from " + who + ".");

    auto caller = std::make_shared<QLHelperCaller>(peer, trusted, QLCPU::shared().maxthread());
    auto receiver = std::make_shared<ConnectionReceiver>(connection);
    helper_->addReceiver(receiver, caller.get());  // the progress of the calls it makes
    QLSocketConnection* key = connection.get();
    live_.emplace(key, Live{connection, caller, receiver.get()});
    std::weak_ptr<QLSocketConnection> weak = connection;
    connection->setMessageHandler([weak, stub = stub_, caller](const wire::Message& message) {
      auto self = weak.lock();
      if (!self) return false;
      auto reply = std::make_shared<ConnectionReply>(weak, message.id, message.acceptsParts);
      const bool dispatched = stub->dispatch(message, reply, QLHelperCall{caller, reply});
      if (!dispatched) log("QLXPCHelperListener::connection()", "Refused message " + message.selector + ".");
      return dispatched;
    });
    connection->setErrorHandler([this, key](const std::string& reason) {
      log("QLXPCHelperListener::connection()", "Connection ended: " + reason + ".");
      ended(key);
    });
    connection->start();
  }

  void ended(QLSocketConnection* key) {
    const auto found = live_.find(key);
    if (found == live_.end()) return;
    const uid_t uid = found->second.caller->peer.uid;
    if (!found->second.caller->trusted) --untrusted_;
    if (--perUser_[uid] == 0) perUser_.erase(uid);
    helper_->removeReceiver(found->second.receiver);
    live_.erase(found);
    considerExit();
    armIdleExit();
  }

  void considerExit() {
    if (exiting_ || (!terminating_ && !stopping_) || helper_->operationsOutstanding() > 0) return;
    if (!stopping_)
      for (const auto& [key, entry] : live_)
        if (!entry.caller->askedToTerminate) return;
    exit();
  }

  void armIdleExit() {
    if (idleExit_.count() == 0 || exiting_ || !live_.empty() || helper_->operationsOutstanding() > 0) return;
    idleTimer_.expires_after(idleExit_);
    idleTimer_.async_wait([this](std::error_code error) {
      if (error || !live_.empty() || helper_->operationsOutstanding() > 0) return;
      log("QLXPCHelperListener::run()", "Ending: no connection for " + std::to_string(idleExit_.count()) + " s.");
      exit();
    });
  }

  // Sends what the connections still have queued (the last replies), then ends the process.
  void exit() {
    if (exiting_) return;
    exiting_ = true;
    listener_.stop();
    log("QLXPCHelperListener::run()", "Exiting: no operation runs.");
    if (live_.empty()) exitNow();
    auto remaining = std::make_shared<std::size_t>(live_.size());
    for (auto& [key, entry] : live_)
      entry.connection->finish(kFlushLimit, [remaining] {
        if (--*remaining == 0) exitNow();
      });
  }

  QLSocketListener& listener_;
  const QLHelperPeerPolicy policy_;
  const std::chrono::seconds idleExit_;
  asio::steady_timer idleTimer_;
  QLXPCTarnixHelper* helper_ = nullptr;
  QLXPCTarnixHelperStub<QLXPCTarnixHelper>* stub_ = nullptr;
  std::map<QLSocketConnection*, Live> live_;
  std::map<uid_t, std::size_t> perUser_;
  std::size_t untrusted_ = 0;
  bool terminating_ = false, stopping_ = false, exiting_ = false;
};

std::optional<std::chrono::seconds> parseSeconds(const std::string& text) {
  unsigned value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failure != std::errc() || end != text.data() + text.size() || value > 86400) return std::nullopt;
  return std::chrono::seconds(value);
}

int usage() {
  std::cerr << "usage: " << QLXPCHelper::kIdentifier
            << " [--listen PATH] [--idle-exit SECONDS] | --install | --version\n";
  return 2;
}

}  // namespace

int runHelperDaemon(const std::vector<std::string>& arguments) {
  std::string listenPath;
  std::optional<std::chrono::seconds> idleExit;
  bool install = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument == "--listen" && i + 1 < arguments.size()) {
      listenPath = arguments[++i];
    } else if (argument == "--owner-uid" && i + 1 < arguments.size()) {
      // Units written by earlier versions still pass it; nobody is served for owning anything.
      ++i;
      platform::diagnostic("QLHelperListener::init()", "Ignoring --owner-uid: every caller asks polkit.");
    } else if (argument == "--idle-exit" && i + 1 < arguments.size()) {
      const auto seconds = parseSeconds(arguments[++i]);
      if (!seconds) return usage();
      idleExit = seconds;
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
    if (platform::currentUserId() != 0) {
      platform::diagnostic("QLHelperInstaller::install()", "Error: the install step must run as root.");
      return 1;
    }
    return installHelper(table, QLXPCHelper::kIdentifier, platform::ownExecutablePath()) ? 0 : 1;
  }

  asio::io_context io;
  std::string error;
  std::unique_ptr<QLSocketListener> listener;
  bool activated = false;
  if (!listenPath.empty()) {
    listener = QLSocketListener::bind(io, listenPath, error);
  } else if (const auto sockets = platform::activationSockets(); !sockets.empty()) {
    listener = QLSocketListener::adopt(io, sockets.front(), error);
    activated = true;
  } else {
    error = "no socket: start it through its systemd socket or with --listen PATH";
  }
  if (!listener) {
    platform::diagnostic("QLXPCHelperListener::init()", "Error: " + error);
    return 1;
  }

  // Only a daemon systemd starts again on the next connection ends when idle, unless told.
  Daemon daemon(io, *listener, QLHelperPeerPolicy(platform::currentUserId()),
                idleExit.value_or(activated ? kActivatedIdleExit : std::chrono::seconds(0)));
  QLHelperServices services;
  services.table = table;
  services.version = TARNIX_HELPER_VERSION;
  services.postToMain = [&io](std::function<void()> block) { asio::post(io, std::move(block)); };
  services.terminateRequested = [&daemon] { daemon.terminateRequested(); };
  services.operationEnded = [&daemon] { daemon.operationEnded(); };
  // Lives as long as the process: working threads may still hold it when the loop stops.
  auto* helper = new QLXPCTarnixHelper(QLXPCHelper::kIdentifier, TARNIX_HELPER_VERSION, std::move(services));
  auto* stub = new QLXPCTarnixHelperStub(*helper);
  daemon.serve(*helper, *stub);

  asio::signal_set signals(io, SIGTERM, SIGINT);
  std::function<void(std::error_code, int)> onSignal = [&](std::error_code failure, int) {
    if (failure) return;
    daemon.stopRequested();
    signals.async_wait(onSignal);
  };
  signals.async_wait(onSignal);
  platform::ignoreBrokenPipes();
  platform::diagnostic("QLXPCHelperListener::run()", "Listening.");
  platform::notifyReady();
  io.run();
  return 0;
}

}  // namespace tarnix
