#pragma once
// One helper connection over a Unix stream socket: length-prefixed frames, request ids, replies
// matched to their requests, one-way messages, calls in both directions. All state lives on the
// thread that runs the socket's io_context; the send functions may be called from any thread.
#include <asio.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireSender.h"
#include "platform/PeerCredentials.h"

namespace tarnix {

class QLXPCConnection final : public wire::Sender, public std::enable_shared_from_this<QLXPCConnection> {
 public:
  using Socket = asio::local::stream_protocol::socket;
  // Calls and one-way messages from the peer. False is a protocol error and closes the connection.
  using MessageHandler = std::function<bool(const wire::Message& message)>;
  // Called once when the connection ends for any reason but close(): the peer went away, a
  // frame was malformed or too large, a reply did not match.
  using ErrorHandler = std::function<void(const std::string& reason)>;

  static std::shared_ptr<QLXPCConnection> create(Socket socket, std::size_t maxIncomingFrame);
  QLXPCConnection(Socket socket, std::size_t maxIncomingFrame);

  // Set both before start().
  void setMessageHandler(MessageHandler handler) { onMessage_ = std::move(handler); }
  void setErrorHandler(ErrorHandler handler) { onError_ = std::move(handler); }
  void start();

  void sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply) override;
  void sendOneway(std::string_view selector, platform::Plist arguments) override;
  // With a refusal, the reply says the call was refused rather than failed.
  void sendReply(std::uint64_t id, platform::Plist values, const std::optional<QLXPCHelperRefusal>& refusal = {});
  // Ends the connection without calling the error handler; later sends are dropped.
  void close();

  // As the kernel recorded them at connect time.
  std::optional<platform::PeerCredentials> peer() const { return peer_; }

 private:
  void readHeader();
  void readBody(std::uint32_t length);
  void handle(std::string_view body);
  void enqueue(std::string frame);
  void writeNext();
  void fail(const std::string& reason);

  Socket socket_;
  std::size_t maxIncomingFrame_;
  std::optional<platform::PeerCredentials> peer_;
  MessageHandler onMessage_;
  ErrorHandler onError_;
  unsigned char header_[wire::kFrameHeaderSize] = {};
  std::string body_;
  std::deque<std::string> writes_;
  std::map<std::uint64_t, ReplyHandler> pending_;
  std::atomic<std::uint64_t> nextId_{1};
  bool closed_ = false;
};

}  // namespace tarnix
