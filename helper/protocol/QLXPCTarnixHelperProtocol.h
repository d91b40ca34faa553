#pragma once
// The operations the applications call and the helper performs.
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
                                           QLOSVolume onTargetVolume,
                                           QLReply<std::vector<QLKernelExtension>> reply) = 0;
  virtual void backupWithKernelExtensions(std::vector<QLKernelExtension> kexts, std::string installedInFolder,
                                          QLOSVolume onTargetVolume, std::string toDestinationFolder,
                                          QLReply<std::vector<QLKernelExtension>> reply) = 0;
  virtual void changeMaximumThreadsNumber(std::int64_t number, QLReply<bool> reply) = 0;
  virtual void installBrambleFromSourcePath(std::string source, std::string toDestinationPath, QLReply<bool> reply) = 0;
  virtual void uninstallBrambleFromPath(std::string path, QLReply<bool> reply) = 0;
  virtual void applyBooterConfigViaNVRAMWithNewBooterConfig(std::int64_t value, QLReply<bool> reply) = 0;
};

}  // namespace tarnix

// Each method of the protocol on the wire, in order, as QL_XPC_HELPER_CALLS has them: a new call
// is its method above and one line here.
#define QL_XPC_TARNIX_HELPER_CALLS(CALL, ONEWAY)                                                                      \
  QL_XPC_HELPER_CALLS(CALL, ONEWAY)                                                                                   \
  CALL(repairWithFolder, "repairWithFolder:onTargetVolume:reply:", bool, std::string, QLOSVolume)                     \
  CALL(repairDiskPermissionsOnTargetVolume,                                                                           \
       "repairDiskPermissionsOnTargetVolume:reply:", std::vector<QLRepairPermissionsRepresentableResult>, QLOSVolume) \
  CALL(rebuildCachesOnTargetVolume, "rebuildCachesOnTargetVolume:reply:", bool, QLOSVolume)                           \
  CALL(test2, "test2:", std::int64_t)                                                                                 \
  CALL(installWithKernelExtensions,                                                                                   \
       "installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:", std::vector<QLKernelExtension>,       \
       std::vector<QLKernelExtension>, std::string, QLOSVolume)                                                       \
  CALL(backupWithKernelExtensions,                                                                                    \
       "backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",                      \
       std::vector<QLKernelExtension>, std::vector<QLKernelExtension>, std::string, QLOSVolume, std::string)          \
  CALL(changeMaximumThreadsNumber, "changeMaximumThreadsNumber:reply:", bool, std::int64_t)                           \
  CALL(installBrambleFromSourcePath, "installBrambleFromSourcePath:toDestinationPath:reply:", bool, std::string,      \
       std::string)                                                                                                   \
  CALL(uninstallBrambleFromPath, "uninstallBrambleFromPath:reply:", bool, std::string)                                \
  CALL(applyBooterConfigViaNVRAMWithNewBooterConfig, "applyBooterConfigViaNVRAMWithNewBooterConfig:reply:", bool,     \
       std::int64_t)
