#include "helper/transport/QLSocketConnection.h"

#include <algorithm>

#include "helper/protocol/QLWireResults.h"

namespace tarnix {
namespace {

// What a queued frame costs beside its bytes: the string's own allocation and the queue's slot.
constexpr std::size_t kFrameBookkeeping = 64;

std::string seconds(QLSocketConnection::Duration duration) {
  const auto tenths = duration.count() / 100;
  return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") + " s";
}

}  // namespace

std::shared_ptr<QLSocketConnection> QLSocketConnection::create(Socket socket, Limits limits) {
  return std::make_shared<QLSocketConnection>(std::move(socket), limits);
}

QLSocketConnection::QLSocketConnection(Socket socket, Limits limits)
    : socket_(std::move(socket)),
      limits_(limits),
      frameTimer_(socket_.get_executor()),
      firstFrameTimer_(socket_.get_executor()),
      writeTimer_(socket_.get_executor()),
      finishTimer_(socket_.get_executor()) {
  peer_ = platform::peerCredentials(socket_.native_handle());
}

void QLSocketConnection::start() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    self->arm(self->firstFrameTimer_, self->limits_.firstFrameTimeout,
              "no valid frame within " + seconds(self->limits_.firstFrameTimeout) + " of connecting");
    self->readHeader();
  });
}

void QLSocketConnection::arm(asio::steady_timer& timer, Duration after, std::string reason) {
  if (after.count() <= 0 || closed_) return;
  timer.expires_after(after);
  timer.async_wait([self = shared_from_this(), &timer, reason = std::move(reason)](std::error_code error) {
    // A wait that had already ended when the timer was set again or disarmed is stale.
    if (error || self->closed_ || timer.expiry() > asio::steady_timer::clock_type::now()) return;
    self->fail(reason);
  });
}

void QLSocketConnection::disarm(asio::steady_timer& timer) { timer.expires_at(asio::steady_timer::time_point::max()); }

void QLSocketConnection::readHeader() {
  if (closed_) return;
  // A frame's time starts with its first byte: a peer that is merely quiet between messages is
  // never cut, one that stops inside a frame is.
  socket_.async_wait(Socket::wait_read, [self = shared_from_this()](std::error_code error) {
    if (self->closed_) return;
    if (error) return self->fail(error.message());
    self->arm(self->frameTimer_, self->limits_.frameTimeout,
              "a frame did not arrive whole within " + seconds(self->limits_.frameTimeout));
    asio::async_read(self->socket_, asio::buffer(self->header_), [self](std::error_code failure, std::size_t) {
      if (failure)
        return self->fail(failure == asio::error::eof ? "the peer closed the connection" : failure.message());
      const std::uint32_t length = wire::frameLength(self->header_);
      if (length == 0 || length > self->limits_.maxIncomingFrame)
        return self->fail("a frame of " + std::to_string(length) + " bytes is outside the limit");
      self->readBody(length);
    });
  });
}

void QLSocketConnection::readBody(std::uint32_t length) {
  body_.resize(length);
  asio::async_read(socket_, asio::buffer(body_), [self = shared_from_this()](std::error_code error, std::size_t) {
    if (error) return self->fail("the connection ended inside a frame");
    disarm(self->frameTimer_);
    self->handle(self->body_);
    self->readHeader();
  });
}

void QLSocketConnection::handle(std::string_view body) {
  if (closed_ || finishing_) return;
  if (handleResults(body)) return;
  std::string refusal;
  auto message = wire::decodeMessage(body, limits_.maxIncomingFrame, &refusal);
  if (!message) return fail("a frame was refused (" + refusal + ")");
  if (message->kind == wire::Kind::part) {
    const auto found = pending_.find(message->id);
    if (found == pending_.end() || !found->second.onPart) return fail("a part matches no request that asked for parts");
    if (!found->second.onPart(message->arguments)) fail("a part carries values of the wrong classes");
    return;
  }
  if (message->kind == wire::Kind::reply) {
    const auto found = pending_.find(message->id);
    if (found == pending_.end()) return fail("a reply matches no request");
    auto handler = std::move(found->second.onReply);
    pending_.erase(found);
    disarm(firstFrameTimer_);
    // The reply block learns of a refusal while it runs.
    const QLRefusalScope refused(message->refusal);
    if (!handler(message->arguments)) fail("a reply carries values of the wrong classes");
    return;
  }
  if (!onMessage_ || !onMessage_(*message)) return fail("refused message " + message->selector);
  disarm(firstFrameTimer_);
}

bool QLSocketConnection::handleResults(std::string_view body) {
  // Only a connection waiting for results tries: a daemon never reads a peer's bytes this way.
  if (std::none_of(pending_.begin(), pending_.end(),
                   [](const auto& entry) { return entry.second.onResults != nullptr; }))
    return false;
  auto message = wire::decodeResultsMessage(body, limits_.maxIncomingFrame);
  if (!message) return false;
  const auto found = pending_.find(message->id);
  if (found == pending_.end() || !found->second.onResults) return false;
  const bool last = message->kind == wire::Kind::reply;
  auto handler = found->second.onResults;
  if (last) {
    pending_.erase(found);
    disarm(firstFrameTimer_);
  }
  const QLRefusalScope refused(std::nullopt);
  if (!handler(std::move(message->results), last)) fail("a part or reply carries results that cannot be taken");
  return true;
}

void QLSocketConnection::sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply,
                                  ReplyHandler onPart, ResultsHandler onResults) {
  const std::uint64_t id = nextId_.fetch_add(1);
  std::string bytes = wire::frame(
      wire::encodeMessage(wire::Kind::call, id, selector, std::move(arguments), std::nullopt, onPart != nullptr));
  {
    const std::lock_guard lock(roomMutex_);
    unsent_ += bytes.size();
  }
  asio::post(socket_.get_executor(),
             [self = shared_from_this(), id, bytes = std::move(bytes),
              pending = Pending{std::move(onReply), std::move(onPart), std::move(onResults)}]() mutable {
               if (!self->closed_ && !self->finishing_) self->pending_.emplace(id, std::move(pending));
               self->enqueue(std::move(bytes));
             });
}

void QLSocketConnection::sendOneway(std::string_view selector, platform::Plist arguments) {
  post(wire::frame(wire::encodeMessage(wire::Kind::oneway, 0, selector, std::move(arguments))));
}

void QLSocketConnection::sendReply(std::uint64_t id, platform::Plist values,
                                   const std::optional<QLXPCHelperRefusal>& refusal) {
  post(wire::frame(wire::encodeMessage(wire::Kind::reply, id, "", std::move(values), refusal)));
}

void QLSocketConnection::sendBody(std::string body) { post(wire::frame(body)); }

void QLSocketConnection::post(std::string frame) {
  {
    const std::lock_guard lock(roomMutex_);
    unsent_ += frame.size();
  }
  asio::post(socket_.get_executor(),
             [self = shared_from_this(), frame = std::move(frame)]() mutable { self->enqueue(std::move(frame)); });
}

bool QLSocketConnection::waitForRoom(std::size_t window) {
  std::unique_lock lock(roomMutex_);
  room_.wait(lock, [&] { return ended_ || unsent_ <= window; });
  return !ended_;
}

void QLSocketConnection::left(std::size_t bytes) {
  {
    const std::lock_guard lock(roomMutex_);
    unsent_ -= std::min(bytes, unsent_);
  }
  room_.notify_all();
}

void QLSocketConnection::enqueue(std::string frame) {
  if (closed_ || finishing_) return left(frame.size());
  // Output piles up only when the peer stops reading; one frame of any size is always let through.
  const std::size_t cost = frame.size() + kFrameBookkeeping;
  if (limits_.maxQueuedBytes > 0 && !writes_.empty() && queuedBytes_ + cost > limits_.maxQueuedBytes) {
    left(frame.size());
    return fail("the peer leaves more than " + std::to_string(limits_.maxQueuedBytes) + " bytes unread");
  }
  queuedBytes_ += cost;
  writes_.push_back(std::move(frame));
  if (writes_.size() == 1) writeNext();
}

void QLSocketConnection::writeNext() {
  // Each piece the peer takes counts as progress, however large the frame.
  arm(writeTimer_, limits_.writeTimeout, "the peer read nothing for " + seconds(limits_.writeTimeout));
  const std::string& front = writes_.front();
  const auto rest = asio::buffer(front.data() + writtenOfFront_, front.size() - writtenOfFront_);
  socket_.async_write_some(
      rest, [self = shared_from_this()](std::error_code error, std::size_t written) { self->wrote(error, written); });
}

void QLSocketConnection::wrote(std::error_code error, std::size_t written) {
  if (closed_) return;
  if (error) return fail("a write failed: " + error.message());
  writtenOfFront_ += written;
  if (writtenOfFront_ == writes_.front().size()) {
    queuedBytes_ -= writes_.front().size() + kFrameBookkeeping;
    left(writes_.front().size());
    writes_.pop_front();
    writtenOfFront_ = 0;
  }
  if (!writes_.empty()) return writeNext();
  disarm(writeTimer_);
  if (finishing_) fail("finished");
}

void QLSocketConnection::fail(const std::string& reason) {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  socket_.shutdown(Socket::shutdown_both, ignored);
  socket_.close(ignored);
  for (auto* timer : {&frameTimer_, &firstFrameTimer_, &writeTimer_, &finishTimer_}) timer->cancel();
  pending_.clear();
  writes_.clear();
  queuedBytes_ = 0;
  {
    const std::lock_guard lock(roomMutex_);
    ended_ = true;
  }
  room_.notify_all();
  if (auto handler = std::move(onError_)) handler(reason);
  onMessage_ = nullptr;
  if (auto finished = std::move(onFinished_)) finished();
}

void QLSocketConnection::close() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    self->onError_ = nullptr;
    self->fail("closed");
  });
}

void QLSocketConnection::finish(Duration limit, std::function<void()> done) {
  asio::post(socket_.get_executor(), [self = shared_from_this(), limit, done = std::move(done)]() mutable {
    if (self->closed_) {
      if (done) done();
      return;
    }
    self->onError_ = nullptr;
    self->onMessage_ = nullptr;
    self->pending_.clear();
    self->onFinished_ = std::move(done);
    self->finishing_ = true;
    if (self->writes_.empty()) return self->fail("finished");
    self->arm(self->finishTimer_, limit, "finishing took too long");
  });
}

}  // namespace tarnix
