#pragma once
// The application side of QLXPCTarnixHelperProtocol: every call becomes a message on the
// connection; replies come back on the connection's thread.
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix {

class QLXPCTarnixHelperProxy final : public QLXPCTarnixHelperProtocol {
 public:
  explicit QLXPCTarnixHelperProxy(wire::Sender& sender) : sender_(sender) {}

  void test(QLReply<std::int64_t> reply) override;
  void terminate() override;
  void uninstall(QLReply<bool> reply) override;
  void getVersion(QLReply<std::string> reply) override;
  void repairWithFolder(std::string folder, QLOSVolume onTargetVolume, QLReply<bool> reply) override;
  void repairDiskPermissionsOnTargetVolume(QLOSVolume volume,
                                           QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) override;
  void rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) override;
  void test2(QLReply<std::int64_t> reply) override;
  void installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string toDestinationFolder,
                                   QLOSVolume onTargetVolume, QLReply<std::vector<QLKernelExtension>> reply) override;
  void backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string installedInFolder,
                                  QLOSVolume onTargetVolume, std::string toDestinationFolder,
                                  QLReply<std::vector<QLKernelExtension>> reply) override;
  void changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) override;
  void installBrambleFromSourcePath(std::string source, std::string toDestinationPath, QLReply<bool> reply) override;
  void uninstallBrambleFromPath(std::string path, QLReply<bool> reply) override;
  void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) override;

 private:
  wire::Sender& sender_;
};

}  // namespace tarnix
