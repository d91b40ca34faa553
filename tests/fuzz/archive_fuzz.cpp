// The helper connection's decoders on arbitrary frame bodies: the bounds checks that come before
// parsing (binary, and XML as volumes' files are), the message envelope, every selector's arguments through the
// helper's stub, the context message and every reply type, and the application's straight read of results.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "BinaryPlist.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireResults.h"
#include "helper/protocol/QLXPCHelperContextStub.h"
#include "helper/protocol/QLXPCTarnixHelperStub.h"

namespace {

using namespace tarnix;

// Accepts every call and answers it, so the reply encoders run too.
class Sink final : public QLXPCTarnixHelperProtocol, public QLXPCHelperContextProtocol {
 public:
  void test(QLReply<std::int64_t> r) override { r(1); }
  void terminate() override {}
  void uninstall(QLReply<bool> r) override { r(true); }
  void getVersion(QLReply<std::string> r) override { r("1"); }
  void repairWithFolder(std::string, QLOSVolume, QLReply<bool> r) override { r(true); }
  void repairDiskPermissionsOnTargetVolume(QLOSVolume,
                                           QLReply<std::vector<QLRepairPermissionsRepresentableResult>> r) override {
    r({});
  }
  void rebuildCachesOnTargetVolume(QLOSVolume, QLReply<bool> r) override { r(true); }
  void test2(QLReply<std::int64_t> r) override { r(2); }
  void installWithKernelExtensions(std::vector<QLKernelExtension> k, std::string, QLOSVolume,
                                   QLReply<std::vector<QLKernelExtension>> r) override {
    r(std::move(k));
  }
  void backupWithKernelExtensions(std::vector<QLKernelExtension> k, std::string, QLOSVolume, std::string,
                                  QLReply<std::vector<QLKernelExtension>> r) override {
    r(std::move(k));
  }
  void changeMaximumThreadsNumber(std::int64_t, QLReply<bool> r) override { r(true); }
  void installBrambleFromSourcePath(std::string, std::string, QLReply<bool> r) override { r(true); }
  void uninstallBrambleFromPath(std::string, QLReply<bool> r) override { r(true); }
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t, QLReply<bool> r) override { r(true); }
  void updateWithNewContext(QLXPCHelperContext) override {}
};

// Takes every reply and part and drops it: the encoders have run by then.
class DiscardingReply final : public wire::ReplySender {
 public:
  DiscardingReply() : wire::ReplySender(1) {}
  void sendReply(platform::Plist) override {}
  void sendEncodedReply(std::string) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Whatever the check passes, libplist builds within the bounds; small ones, so that inputs
  // of a few hundred bytes reach them.
  constexpr platform::PlistBounds kSmall{2048, 8, 1u << 16};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto withinBounds = [&](const platform::Plist& tree) {
    if (!tree) return;
    const auto built = test::treeSize(tree.get());
    if (built.nodes > kSmall.nodes || built.depth > kSmall.depth || built.bytes > kSmall.bytes) __builtin_trap();
  };
  withinBounds(platform::parseBinaryPropertyList(input, kSmall));
  // The files the helper reads from a volume: the same bounds for XML.
  withinBounds(platform::parseXmlPropertyList(input, kSmall));

  // The application's side: results read straight from the bytes are what the long way reads.
  if (const auto straight = wire::decodeResultsMessage(input, wire::kMaxReplyFrame)) {
    const auto message = wire::decodeMessage(input, wire::kMaxReplyFrame);
    if (!message || message->kind != straight->kind || message->id != straight->id || message->refusal)
      __builtin_trap();
    const auto values = wire::unpack<std::vector<QLRepairPermissionsRepresentableResult>>(message->arguments);
    if (!values || std::get<0>(*values).size() != straight->results.size()) __builtin_trap();
    for (std::size_t i = 0; i < straight->results.size(); ++i) {
      const auto& a = std::get<0>(*values)[i];
      const auto& b = straight->results[i];
      if (a.identifier != b.identifier || a.fileSystemResourcePath != b.fileSystemResourcePath ||
          a.attributeMismatchedTypeString != b.attributeMismatchedTypeString ||
          a.currentAttribute != b.currentAttribute || a.correctAttribute != b.correctAttribute ||
          a.newAttribute != b.newAttribute || a.attributeStatusString != b.attributeStatusString)
        __builtin_trap();
    }
  }

  // The helper's side: the limits a hostile local client meets.
  auto message = wire::decodeMessage(input, wire::kMaxRequestFrame);
  if (!message) return 0;
  Sink sink;
  QLXPCTarnixHelperStub(sink).dispatch(*message, std::make_shared<DiscardingReply>());
  QLXPCHelperContextStub(sink).dispatch(*message);
  plist_t values = message->arguments;
  (void)wire::unpack<std::vector<QLRepairPermissionsRepresentableResult>>(values);
  (void)wire::unpack<std::vector<QLKernelExtension>>(values);
  (void)wire::unpack<std::int64_t>(values);
  (void)wire::unpack<std::string>(values);
  (void)wire::unpack<bool>(values);
  return 0;
}
