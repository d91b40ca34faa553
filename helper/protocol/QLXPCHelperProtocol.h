#pragma once
// The base service of every helper: identity, liveness and removal. Every reply arrives once.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnix {

template <typename T>
using QLReply = std::function<void(T)>;

// What a helper answers to `test:` and `test2:`: a client that hears anything else is not
// talking to this helper.
inline constexpr std::int64_t kQLHelperTestAnswer = 1234567890;
inline constexpr std::int64_t kQLHelperTest2Answer = 9999999999;

class QLXPCHelperProtocol {
 public:
  virtual ~QLXPCHelperProtocol() = default;
  virtual void test(QLReply<std::int64_t> reply) = 0;  // kQLHelperTestAnswer
  virtual void terminate() = 0;                         // one-way: the helper exits with status 0
  virtual void uninstall(QLReply<bool> reply) = 0;
  virtual void getVersion(QLReply<std::string> reply) = 0;

  // Wire names, in method order.
  static constexpr std::array<const char*, 4> selectors{"test:", "terminate", "uninstall:", "getVersion:"};
};

}  // namespace tarnix
