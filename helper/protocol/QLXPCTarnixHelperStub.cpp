#include "helper/protocol/QLXPCTarnixHelperStub.h"

#include <map>
#include <string_view>

#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireResults.h"

namespace tarnix {
namespace {

using wire::unpack;
using Kexts = std::vector<QLKernelExtension>;
using Results = std::vector<QLRepairPermissionsRepresentableResult>;

using Send = std::shared_ptr<wire::ReplySender>;

struct Entry {
  bool oneway;
  bool (*handle)(QLXPCTarnixHelperProtocol&, plist_t, Send&);
};

// Results are written by the fast writer on the replying thread; a refused call's reply
// carries its refusal through the ordinary path (its list is empty).
template <typename R>
std::function<void(R)> replyFor(Send send) {
  if constexpr (std::is_same_v<R, Results>) {
    return [send = std::move(send)](Results value) {
      if (QLXPCHelperRefusal::current()) return send->sendReply(wire::pack(value));
      send->sendEncodedReply(wire::encodeResultsMessage(wire::Kind::reply, send->id(), value));
    };
  } else {
    return wire::replyBlock<R>(std::move(send));
  }
}

// Decodes Args..., then hands them and a reply block of R to `call`.
template <typename R, typename... Args, typename Call>
bool invoke(plist_t arguments, Send& send, Call call) {
  auto values = unpack<Args...>(arguments);
  if (!values) return false;
  std::apply([&](auto&&... unpacked) { call(std::move(unpacked)..., replyFor<R>(std::move(send))); },
             std::move(*values));
  return true;
}

#define TARNIX_CALL(R, method, ...)                                                                   \
  Entry {                                                                                             \
    false, [](QLXPCTarnixHelperProtocol& t, plist_t a, Send& s) {                                       \
      return invoke<R __VA_OPT__(, ) __VA_ARGS__>(a, s, [&t](auto&&... v) { t.method(std::move(v)...); }); \
    }                                                                                                 \
  }

const std::map<std::string_view, Entry>& entries() {
  static const std::map<std::string_view, Entry> table{
      {"test:", TARNIX_CALL(std::int64_t, test)},
      {"terminate",
       Entry{true,
             [](QLXPCTarnixHelperProtocol& t, plist_t a, Send&) {
               if (!unpack<>(a)) return false;
               t.terminate();
               return true;
             }}},
      {"uninstall:", TARNIX_CALL(bool, uninstall)},
      {"getVersion:", TARNIX_CALL(std::string, getVersion)},
      {"repairWithFolder:onTargetVolume:reply:", TARNIX_CALL(bool, repairWithFolder, std::string, QLOSVolume)},
      {"repairDiskPermissionsOnTargetVolume:reply:",
       TARNIX_CALL(Results, repairDiskPermissionsOnTargetVolume, QLOSVolume)},
      {"rebuildCachesOnTargetVolume:reply:", TARNIX_CALL(bool, rebuildCachesOnTargetVolume, QLOSVolume)},
      {"test2:", TARNIX_CALL(std::int64_t, test2)},
      {"installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:",
       TARNIX_CALL(Kexts, installWithKernelExtensions, Kexts, std::string, QLOSVolume)},
      {"backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",
       TARNIX_CALL(Kexts, backupWithKernelExtensions, Kexts, std::string, QLOSVolume, std::string)},
      {"changeMaximumThreadsNumber:reply:", TARNIX_CALL(bool, changeMaximumThreadsNumber, std::int64_t)},
      {"installBrambleFromSourcePath:toDestinationPath:reply:",
       TARNIX_CALL(bool, installBrambleFromSourcePath, std::string, std::string)},
      {"uninstallBrambleFromPath:reply:", TARNIX_CALL(bool, uninstallBrambleFromPath, std::string)},
      {"applyBooterConfigViaNVRAMWithNewBooterConfig:reply:",
       TARNIX_CALL(bool, applyBooterConfigViaNVRAMWithNewBooterConfig, std::int64_t)},
  };
  return table;
}

}  // namespace

bool QLXPCTarnixHelperStub::dispatch(const wire::Message& message, std::shared_ptr<wire::ReplySender> send) {
  if (message.kind == wire::Kind::reply) return false;
  const auto found = entries().find(message.selector);
  if (found == entries().end()) return false;
  if (found->second.oneway != (message.kind == wire::Kind::oneway)) return false;
  return found->second.handle(exported_, message.arguments, send);
}

}  // namespace tarnix
