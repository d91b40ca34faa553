#include "platform/Uuid.h"

#include <sys/random.h>
#include <uuid/uuid.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace tarnix::platform {
namespace {

// Random bytes come from the kernel in blocks: a repair makes hundreds of thousands of
// identifiers, and libuuid pays a system call and a reseed of random() for each one.
class RandomPool {
 public:
  void take(unsigned char* out, std::size_t length) {
    if (used_ + length > pool_.size()) refill();
    std::memcpy(out, pool_.data() + used_, length);
    used_ += length;
  }

 private:
  void refill() {
    std::size_t filled = 0;
    while (filled < pool_.size()) {
      const ssize_t got = getrandom(pool_.data() + filled, pool_.size() - filled, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        // No kernel randomness: fall back to the library for what remains.
        for (; filled + 16 <= pool_.size(); filled += 16) uuid_generate(pool_.data() + filled);
        break;
      }
      filled += static_cast<std::size_t>(got);
    }
    used_ = 0;
  }

  std::array<unsigned char, 4096> pool_{};
  std::size_t used_ = sizeof(pool_);
};

}  // namespace

void newUuid(unsigned char bytes[16]) {
  thread_local RandomPool pool;
  pool.take(bytes, 16);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
}

std::string uuidString(const unsigned char bytes[16]) {
  char text[37];
  uuid_unparse_upper(bytes, text);
  return std::string(text, 36);
}

std::string newUuidString() {
  uuid_t bytes;
  newUuid(bytes);
  return uuidString(bytes);
}

}  // namespace tarnix::platform
