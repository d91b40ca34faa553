#include "helper/protocol/QLXPCTarnixHelperStub.h"

#include <map>
#include <string_view>

#include "helper/protocol/QLWireCalls.h"

namespace tarnix {
namespace {

using wire::replyBlock;
using wire::unpack;
using Kexts = std::vector<QLKernelExtension>;
using Results = std::vector<QLRepairPermissionsRepresentableResult>;

struct Entry {
  bool oneway;
  bool (*handle)(QLXPCTarnixHelperProtocol&, plist_t, wire::ReplySender&);
};

// Decodes Args..., then hands them and a reply block of R to `call`.
template <typename R, typename... Args, typename Call>
bool invoke(plist_t arguments, wire::ReplySender& send, Call call) {
  auto values = unpack<Args...>(arguments);
  if (!values) return false;
  std::apply([&](auto&&... unpacked) { call(std::move(unpacked)..., replyBlock<R>(std::move(send))); },
             std::move(*values));
  return true;
}

#define TARNIX_CALL(R, method, ...)                                                                   \
  Entry {                                                                                             \
    false, [](QLXPCTarnixHelperProtocol& t, plist_t a, wire::ReplySender& s) {                        \
      return invoke<R __VA_OPT__(, ) __VA_ARGS__>(a, s, [&t](auto&&... v) { t.method(std::move(v)...); }); \
    }                                                                                                 \
  }

const std::map<std::string_view, Entry>& entries() {
  static const std::map<std::string_view, Entry> table{
      {"test:", TARNIX_CALL(std::int64_t, test)},
      {"terminate",
       Entry{true,
             [](QLXPCTarnixHelperProtocol& t, plist_t a, wire::ReplySender&) {
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

bool QLXPCTarnixHelperStub::dispatch(const wire::Message& message, wire::ReplySender send) {
  if (message.kind == wire::Kind::reply) return false;
  const auto found = entries().find(message.selector);
  if (found == entries().end()) return false;
  if (found->second.oneway != (message.kind == wire::Kind::oneway)) return false;
  return found->second.handle(exported_, message.arguments.get(), send);
}

}  // namespace tarnix
