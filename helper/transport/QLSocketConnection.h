#pragma once
// One helper connection over a Unix stream socket: length-prefixed frames, request ids, replies
// matched to their requests, one-way messages, calls in both directions, and the limits a
// daemon holds a peer to (slow frames, a missing first frame, output the peer does not read).
// All state lives on the thread that runs the socket's io_context; the send functions may be
// called from any thread.
#include <asio.hpp>

#include <chrono>
#include <condition_variable>
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

class QLSocketConnection final : public wire::Sender, public std::enable_shared_from_this<QLSocketConnection> {
 public:
  using Socket = asio::local::stream_protocol::socket;
  using Duration = std::chrono::milliseconds;
  // What the connection puts up with from its peer; a zero duration or size is no limit (an
  // application's connection to its helper has only the frame limit).
  struct Limits {
    std::size_t maxIncomingFrame = wire::kMaxRequestFrame;
    Duration frameTimeout{0};       // a frame must be whole this long after its first byte
    Duration firstFrameTimeout{0};  // the first valid frame must be whole this long after start()
    Duration writeTimeout{0};       // queued output must move this often
    // Output waiting beyond this (with its bookkeeping) ends the connection; one frame always fits.
    std::size_t maxQueuedBytes = 0;
  };
  // Calls and one-way messages from the peer. False is a protocol error and closes the connection.
  using MessageHandler = std::function<bool(const wire::Message& message)>;
  // Called once when the connection ends for any reason but close() or finish(): the peer
  // went away, a frame was malformed, too large or too slow, a reply did not match, the peer
  // stopped reading.
  using ErrorHandler = std::function<void(const std::string& reason)>;

  static std::shared_ptr<QLSocketConnection> create(Socket socket, Limits limits);
  QLSocketConnection(Socket socket, Limits limits);

  // Set both before start().
  void setMessageHandler(MessageHandler handler) { onMessage_ = std::move(handler); }
  void setErrorHandler(ErrorHandler handler) { onError_ = std::move(handler); }
  void start();

  void sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply, ReplyHandler onPart = {},
                ResultsHandler onResults = {}) override;
  void sendOneway(std::string_view selector, platform::Plist arguments) override;
  // With a refusal, the reply says the call was refused rather than failed.
  void sendReply(std::uint64_t id, platform::Plist values, const std::optional<QLXPCHelperRefusal>& refusal = {});
  // A message body encoded by the caller, on the caller's thread.
  void sendBody(std::string body);
  // Blocks the calling thread, which must not be the connection's, until at most `window`
  // bytes of output wait to be written; false once the connection has ended.
  bool waitForRoom(std::size_t window);
  // Ends the connection without calling the error handler; later sends are dropped.
  void close();
  // Sends what is queued (for at most `limit`), then ends the connection as close() does and
  // calls `done`. Nothing more is received or delivered meanwhile.
  void finish(Duration limit, std::function<void()> done = {});

  // As the kernel recorded them at connect time.
  std::optional<platform::PeerCredentials> peer() const { return peer_; }

 private:
  void readHeader();
  void readBody(std::uint32_t length);
  void handle(std::string_view body);
  // A part or reply of results for a call that takes them read straight; false when the body is
  // not one.
  bool handleResults(std::string_view body);
  // Counts the frame as waiting and hands it to the connection's thread.
  void post(std::string frame);
  void enqueue(std::string frame);
  // Output that left the queue, written or dropped.
  void left(std::size_t bytes);
  void writeNext();
  void wrote(std::error_code error, std::size_t written);
  void fail(const std::string& reason);
  // Ends the connection with `reason` once `timer` expires, unless it is set again or disarmed.
  void arm(asio::steady_timer& timer, Duration after, std::string reason);
  static void disarm(asio::steady_timer& timer);

  Socket socket_;
  Limits limits_;
  std::optional<platform::PeerCredentials> peer_;
  MessageHandler onMessage_;
  ErrorHandler onError_;
  std::function<void()> onFinished_;
  unsigned char header_[wire::kFrameHeaderSize] = {};
  std::string body_;
  std::deque<std::string> writes_;
  std::size_t queuedBytes_ = 0;
  std::size_t writtenOfFront_ = 0;
  asio::steady_timer frameTimer_, firstFrameTimer_, writeTimer_, finishTimer_;
  struct Pending {
    ReplyHandler onReply, onPart;
    ResultsHandler onResults;
  };
  std::map<std::uint64_t, Pending> pending_;
  // Output handed over and not yet written, from any thread; waitForRoom waits on it.
  std::mutex roomMutex_;
  std::condition_variable room_;
  std::size_t unsent_ = 0;
  bool ended_ = false;
  std::atomic<std::uint64_t> nextId_{1};
  bool closed_ = false;
  bool finishing_ = false;
};

}  // namespace tarnix
