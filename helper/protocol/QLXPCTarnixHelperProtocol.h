#pragma once
// The operations the applications call and the helper performs.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "helper/protocol/QLXPCHelperProtocol.h"
#include "model/QLKernelExtension.h"
#include "model/QLOSVolume.h"

namespace tarnix {

class QLXPCTarnixHelperProtocol : public QLXPCHelperProtocol {
 public:
  virtual void repairWithFolder(std::string folder, QLOSVolume onTargetVolume, QLReply<bool> reply) = 0;
  virtual void repairDiskPermissionsOnTargetVolume(
      QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) = 0;
  virtual void rebuildCachesOnTargetVolume(QLOSVolume volume, QLReply<bool> reply) = 0;
  virtual void test2(QLReply<std::int64_t> reply) = 0;  // kQLHelperTest2Answer
  // Both reply with the kexts that failed.
  virtual void installWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string toDestinationFolder,
                                           QLOSVolume onTargetVolume, QLReply<std::vector<QLKernelExtension>> reply) = 0;
  virtual void backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string installedInFolder,
                                          QLOSVolume onTargetVolume, std::string toDestinationFolder,
                                          QLReply<std::vector<QLKernelExtension>> reply) = 0;
  virtual void changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) = 0;
  virtual void installBrambleFromSourcePath(std::string source, std::string toDestinationPath, QLReply<bool> reply) = 0;
  virtual void uninstallBrambleFromPath(std::string path, QLReply<bool> reply) = 0;
  virtual void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) = 0;

  static constexpr std::array<const char*, 10> tarnixSelectors{
      "repairWithFolder:onTargetVolume:reply:",
      "repairDiskPermissionsOnTargetVolume:reply:",
      "rebuildCachesOnTargetVolume:reply:",
      "test2:",
      "installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:",
      "backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",
      "changeMaximumThreadsNumber:reply:",
      "installBrambleFromSourcePath:toDestinationPath:reply:",
      "uninstallBrambleFromPath:reply:",
      "applyBooterConfigViaNVRAMWithNewBooterConfig:reply:",
  };
};

}  // namespace tarnix
