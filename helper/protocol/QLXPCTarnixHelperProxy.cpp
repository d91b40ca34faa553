#include "helper/protocol/QLXPCTarnixHelperProxy.h"

#include "helper/protocol/QLWireCalls.h"

namespace tarnix {

using wire::pack;
using wire::replyHandler;

void QLXPCTarnixHelperProxy::test(QLReply<std::int64_t> reply) {
  sender_.sendCall("test:", pack(), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::terminate() { sender_.sendOneway("terminate", pack()); }
void QLXPCTarnixHelperProxy::uninstall(QLReply<bool> reply) {
  sender_.sendCall("uninstall:", pack(), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::getVersion(QLReply<std::string> reply) {
  sender_.sendCall("getVersion:", pack(), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::repairWithFolder(std::string folder, QLOSVolume volume, QLReply<bool> reply) {
  sender_.sendCall("repairWithFolder:onTargetVolume:reply:", pack(folder, volume), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::repairDiskPermissionsOnTargetVolume(
    QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) {
  using Results = std::vector<QLRepairPermissionsRepresentableResult>;
  // The results arrive in parts while the repair runs and are decoded as each arrives, on the
  // connection's thread; the reply brings the last of them and hands over the whole list.
  auto received = std::make_shared<Results>();
  const auto take = [received](plist_t values) {
    auto part = wire::unpack<Results>(values);
    if (!part) return false;
    auto& items = std::get<0>(*part);
    if (received->size() + items.size() > archive::kMaxArrayCount) return false;
    if (received->empty()) *received = std::move(items);
    else received->insert(received->end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    return true;
  };
  sender_.sendCall(
      "repairDiskPermissionsOnTargetVolume:reply:", pack(volume),
      [take, received, reply = std::move(reply)](plist_t values) {
        if (!take(values)) return false;
        if (reply) reply(std::move(*received));
        return true;
      },
      take);
}
void QLXPCTarnixHelperProxy::rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) {
  sender_.sendCall("rebuildCachesOnTargetVolume:reply:", pack(volume), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::test2(QLReply<std::int64_t> reply) {
  sender_.sendCall("test2:", pack(), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder,
                                                         QLOSVolume volume,
                                                         QLReply<std::vector<QLKernelExtension>> reply) {
  sender_.sendCall("installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:", pack(kexts, folder, volume),
                   replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string folder,
                                                        QLOSVolume volume, std::string destination,
                                                        QLReply<std::vector<QLKernelExtension>> reply) {
  sender_.sendCall("backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",
                   pack(kexts, folder, volume, destination), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) {
  sender_.sendCall("changeMaximumThreadsNumber:reply:", pack(number), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::installBrambleFromSourcePath(std::string source, std::string destination,
                                                          QLReply<bool> reply) {
  sender_.sendCall("installBrambleFromSourcePath:toDestinationPath:reply:", pack(source, destination),
                   replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::uninstallBrambleFromPath(std::string path, QLReply<bool> reply) {
  sender_.sendCall("uninstallBrambleFromPath:reply:", pack(path), replyHandler(std::move(reply)));
}
void QLXPCTarnixHelperProxy::applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) {
  sender_.sendCall("applyBooterConfigViaNVRAMWithNewBooterConfig:reply:", pack(value), replyHandler(std::move(reply)));
}

}  // namespace tarnix
