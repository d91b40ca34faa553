#pragma once
// The base service of every helper: identity, liveness and removal. Every reply arrives once.
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
  virtual void terminate() = 0;                        // one-way: the helper exits with status 0
  virtual void uninstall(QLReply<bool> reply) = 0;
  virtual void getVersion(QLReply<std::string> reply) = 0;
};

}  // namespace tarnix

// Each method above on the wire, in order: CALL(method, selector, reply type, argument types...)
// for a call that gets one reply, ONEWAY(method, selector, argument types...) for one that gets
// none. The proxy and the stub are built from it.
#define QL_XPC_HELPER_CALLS(CALL, ONEWAY) \
  CALL(test, "test:", std::int64_t)       \
  ONEWAY(terminate, "terminate")          \
  CALL(uninstall, "uninstall:", bool)     \
  CALL(getVersion, "getVersion:", std::string)
