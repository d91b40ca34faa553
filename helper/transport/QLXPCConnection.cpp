#include "helper/transport/QLXPCConnection.h"

namespace tarnix {

std::shared_ptr<QLXPCConnection> QLXPCConnection::create(Socket socket, std::size_t maxIncomingFrame) {
  return std::make_shared<QLXPCConnection>(std::move(socket), maxIncomingFrame);
}

QLXPCConnection::QLXPCConnection(Socket socket, std::size_t maxIncomingFrame)
    : socket_(std::move(socket)), maxIncomingFrame_(maxIncomingFrame) {
  peer_ = platform::peerCredentials(socket_.native_handle());
}

void QLXPCConnection::start() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] { self->readHeader(); });
}

void QLXPCConnection::readHeader() {
  if (closed_) return;
  asio::async_read(socket_, asio::buffer(header_), [self = shared_from_this()](std::error_code error, std::size_t) {
    if (error) return self->fail(error == asio::error::eof ? "the peer closed the connection" : error.message());
    const std::uint32_t length = wire::frameLength(self->header_);
    if (length == 0 || length > self->maxIncomingFrame_)
      return self->fail("a frame of " + std::to_string(length) + " bytes is outside the limit");
    self->readBody(length);
  });
}

void QLXPCConnection::readBody(std::uint32_t length) {
  body_.resize(length);
  asio::async_read(socket_, asio::buffer(body_), [self = shared_from_this()](std::error_code error, std::size_t) {
    if (error) return self->fail("the connection ended inside a frame");
    self->handle(self->body_);
    self->readHeader();
  });
}

void QLXPCConnection::handle(std::string_view body) {
  if (closed_) return;
  std::string refusal;
  auto message = wire::decodeMessage(body, maxIncomingFrame_, &refusal);
  if (!message) return fail("a frame was refused (" + refusal + ")");
  if (message->kind == wire::Kind::reply) {
    const auto found = pending_.find(message->id);
    if (found == pending_.end()) return fail("a reply matches no request");
    auto handler = std::move(found->second);
    pending_.erase(found);
    // The reply block learns of a refusal while it runs.
    const QLRefusalScope refused(message->refusal);
    if (!handler(message->arguments.get())) fail("a reply carries values of the wrong classes");
    return;
  }
  if (!onMessage_ || !onMessage_(*message)) fail("refused message " + message->selector);
}

void QLXPCConnection::sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply) {
  const std::uint64_t id = nextId_.fetch_add(1);
  std::string bytes = wire::frame(wire::encodeMessage(wire::Kind::call, id, selector, std::move(arguments)));
  asio::post(socket_.get_executor(),
             [self = shared_from_this(), id, bytes = std::move(bytes), onReply = std::move(onReply)]() mutable {
               if (self->closed_) return;
               self->pending_.emplace(id, std::move(onReply));
               self->enqueue(std::move(bytes));
             });
}

void QLXPCConnection::sendOneway(std::string_view selector, platform::Plist arguments) {
  std::string bytes = wire::frame(wire::encodeMessage(wire::Kind::oneway, 0, selector, std::move(arguments)));
  asio::post(socket_.get_executor(),
             [self = shared_from_this(), bytes = std::move(bytes)]() mutable { self->enqueue(std::move(bytes)); });
}

void QLXPCConnection::sendReply(std::uint64_t id, platform::Plist values,
                                const std::optional<QLXPCHelperRefusal>& refusal) {
  std::string bytes = wire::frame(wire::encodeMessage(wire::Kind::reply, id, "", std::move(values), refusal));
  asio::post(socket_.get_executor(),
             [self = shared_from_this(), bytes = std::move(bytes)]() mutable { self->enqueue(std::move(bytes)); });
}

void QLXPCConnection::enqueue(std::string frame) {
  if (closed_) return;
  writes_.push_back(std::move(frame));
  if (writes_.size() == 1) writeNext();
}

void QLXPCConnection::writeNext() {
  asio::async_write(socket_, asio::buffer(writes_.front()), [self = shared_from_this()](std::error_code error, std::size_t) {
    if (self->closed_) return;
    if (error) return self->fail("a write failed: " + error.message());
    self->writes_.pop_front();
    if (!self->writes_.empty()) self->writeNext();
  });
}

void QLXPCConnection::fail(const std::string& reason) {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  socket_.shutdown(Socket::shutdown_both, ignored);
  socket_.close(ignored);
  pending_.clear();
  writes_.clear();
  if (auto handler = std::move(onError_)) handler(reason);
  onMessage_ = nullptr;
}

void QLXPCConnection::close() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    self->onError_ = nullptr;
    self->fail("closed");
  });
}

}  // namespace tarnix
