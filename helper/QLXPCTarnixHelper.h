#pragma once
// The object the daemon exports on every connection: the maintenance and installation
// operations, run as root. Long operations run on a thread of their own and reply from the
// daemon's main loop; progress goes to the newest connection.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/RZBrambleDelegate.h"
#include "helper/protocol/QLXPCHelper.h"
#include "helper/protocol/QLXPCHelperContextProtocol.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"
#include "platform/HelperPlatformTable.h"
#include "platform/PeerCredentials.h"
#include "platform/Process.h"
#include "platform/TreeOperations.h"

namespace tarnix {

struct QLHelperServices {
  platform::HelperPlatformTable table = platform::HelperPlatformTable::current();
  platform::ProcessRunner* runner = &platform::linuxProcessRunner();
  // Runs a block on the daemon's main loop (where replies are sent from).
  std::function<void(std::function<void()>)> postToMain;
  // Ends the process with status 0 (terminate).
  std::function<void()> exitProcess;
  std::string version;  // the running helper's version
};

class QLXPCTarnixHelper final : public QLXPCHelper, public QLXPCTarnixHelperProtocol, private RZBrambleDelegate {
 public:
  static constexpr platform::Ownership defaultSystemOwner{0, 0};
  static constexpr std::uint32_t defaultSystemMode = 0755;
  // The command-line tool goes where root may run it, so only root may change it.
  static constexpr platform::Ownership toolOwner{0, 0};

  QLXPCTarnixHelper(std::string bundleID, std::string version, QLHelperServices services);

  // The receiver of progress: the newest connection. clearConnection forgets `receiver` if it
  // is still the current one (its connection ended).
  void setConnection(std::shared_ptr<QLXPCHelperContextProtocol> receiver);
  void clearConnection(const QLXPCHelperContextProtocol* receiver);
  // The peer of the call being dispatched on this thread (backups are given to it).
  static void setCallingPeer(std::optional<platform::PeerCredentials> peer);

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

  // "0028" gives "%28%00": the low byte first. Nothing outside 0...0xFFFF.
  static std::optional<std::string> encodedBooterValue(std::int64_t value);
  // The local time as "yyyyMMdd_HHmmss".
  static std::string backupFolderName();

 private:
  void updateProgress(double progress);
  // A working thread of its own; `work` replies through postToMain.
  void onWorkingQueue(std::function<void()> work);
  template <typename T>
  void replyOnMain(QLReply<T> reply, T value);

  void willSetupManager() override {}
  void didSetupManager() override {}
  void willVerifyPermissions() override {}
  void didVerifyPermissions() override {}
  void willRepairPermissions() override {}
  void didRepairPermissions() override {}
  void globalProgressDidChangeWithNewProgress(double progress) override { updateProgress(progress); }

  QLHelperServices services_;
  std::mutex connectionMutex_;
  std::shared_ptr<QLXPCHelperContextProtocol> connection_;
};

}  // namespace tarnix
