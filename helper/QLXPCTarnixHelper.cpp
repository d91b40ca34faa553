#include "helper/QLXPCTarnixHelper.h"

#include "engine/RZBrambleDelegate.h"
#include "helper/protocol/QLWireResults.h"
#include "operations/QLHelperArguments.h"
#include "operations/QLHelperOperations.h"
#include "platform/Log.h"
#include "platform/TreeOperations.h"

namespace tarnix {
namespace {

void log(const char* where, const std::string& text) { platform::diagnostic(where, text); }

// Forwards one repair's progress to the connection that asked for it, with its phase: the
// job's percentage runs through the receipts (to 40), the resources (to 90) and the repair.
class ProgressForwarder final : public RZBrambleDelegate {
 public:
  explicit ProgressForwarder(std::function<void(QLXPCHelperContext)> forward) : forward_(std::move(forward)) {}
  void willSetupManager() override {}
  void didSetupManager() override {}
  void willVerifyPermissions() override {}
  void didVerifyPermissions() override {}
  void willRepairPermissions() override {}
  void didRepairPermissions() override {}
  void globalProgressDidChangeWithNewProgress(double progress) override {
    const char* phase = progress < 40 ? "receipts" : progress < 90 ? "resources" : "repair";
    forward_(QLXPCHelperContext::initWith("Progress", progress, phase));
  }
  // The repair is done; what is left of its results is being written and sent.
  void transferring() { forward_(QLXPCHelperContext::initWith("Progress", 100, "transfer")); }

 private:
  std::function<void(QLXPCHelperContext)> forward_;
};

}  // namespace

QLXPCTarnixHelper::QLXPCTarnixHelper(std::string bundleID, std::string version, QLHelperServices services)
    : QLXPCHelper(std::move(bundleID), std::move(version)), services_(std::move(services)), pool_(services_.work) {}

void QLXPCTarnixHelper::addReceiver(std::shared_ptr<QLXPCHelperContextProtocol> receiver,
                                    const QLHelperCaller* caller) {
  std::lock_guard lock(receiversMutex_);
  receivers_.push_back({std::move(receiver), caller});
}

void QLXPCTarnixHelper::removeReceiver(const QLXPCHelperContextProtocol* receiver) {
  std::lock_guard lock(receiversMutex_);
  std::erase_if(receivers_, [&](const Receiver& entry) { return entry.receiver.get() == receiver; });
}

void QLXPCTarnixHelper::updateProgress(const QLHelperCaller* caller, QLXPCHelperContext context) {
  // The connection that asked, not another of the same user's: an application's progress
  // must not go to whichever of its user's programs connected last.
  std::shared_ptr<QLXPCHelperContextProtocol> receiver;
  {
    std::lock_guard lock(receiversMutex_);
    for (const auto& entry : receivers_)
      if (entry.caller == caller) receiver = entry.receiver;
  }
  if (!receiver) return;  // the connection has ended
  receiver->updateWithNewContext(std::move(context));
}

QLJournalHeader QLXPCTarnixHelper::journalHeader(const char* operation, std::string target,
                                                 const QLHelperCaller& caller) const {
  return {{}, {}, operation, std::move(target), "helper " + services_.version, caller.peer.uid, {}};
}

template <typename T>
void QLXPCTarnixHelper::onWorkingQueue(const QLHelperCaller& caller, const char* where, QLReply<T> reply, T busy,
                                       std::function<void(QLReply<T>)> work) {
  ++outstanding_;
  const bool queued = pool_.submit(caller.peer.uid, caller.trusted, [this, work = std::move(work), reply]() mutable {
    work(std::move(reply));
    services_.postToMain([this] {
      --outstanding_;
      if (services_.operationEnded) services_.operationEnded();
    });
  });
  if (queued) return;
  --outstanding_;
  log(where, "Refused: uid " + std::to_string(caller.peer.uid) + " has " +
                 std::to_string(pool_.limits().waitingPerUser) + " operations waiting already.");
  replyOnMain(std::move(reply), std::move(busy));
}

template <typename T>
void QLXPCTarnixHelper::replyOnMain(QLReply<T> reply, T value, std::optional<QLXPCHelperRefusal> refusal) {
  services_.postToMain([reply = std::move(reply), value = std::move(value), refusal = std::move(refusal)]() mutable {
    // The reply block sends the refusal along with the value.
    const QLRefusalScope scope(std::move(refusal));
    reply(std::move(value));
  });
}

QLXPCTarnixHelper::Admission QLXPCTarnixHelper::admit(QLHelperCaller& caller, const std::string& mountPoint,
                                                      QLHelperAction action, const char* where) {
  Admission admission;
  if (!mountPoint.empty()) {
    // Checked before polkit is asked, so nobody types a password for a volume refused anyway.
    auto opened = caller.trusted ? platform::openVolume(mountPoint) : platform::openTrustedVolume(mountPoint);
    if (!opened.volume) {
      log(where, "Refused volume " + mountPoint + ": " + std::string(platform::describe(opened.refusal)) + ".");
      admission.refusal = QLXPCHelperRefusal::untrustedVolume(opened.refusal);
      return admission;
    }
    admission.volume = std::move(opened.volume);
  }
  if (!authorize(caller, action, services_.askPolkit)) {
    admission.volume.reset();
    admission.refusal = QLXPCHelperRefusal::notAuthorized();
  }
  return admission;
}

void QLXPCTarnixHelper::test(const QLHelperCall&, QLReply<std::int64_t> reply) { reply(kQLHelperTestAnswer); }
void QLXPCTarnixHelper::test2(const QLHelperCall&, QLReply<std::int64_t> reply) { reply(kQLHelperTest2Answer); }
void QLXPCTarnixHelper::getVersion(const QLHelperCall&, QLReply<std::string> reply) { reply(services_.version); }

void QLXPCTarnixHelper::terminate(const QLHelperCall& call) {
  log("QLXPCTarnixHelper::terminate()", "Terminating on request, once no operation runs.");
  call.caller->askedToTerminate = true;
  if (services_.terminateRequested) services_.terminateRequested();
}

void QLXPCTarnixHelper::uninstall(const QLHelperCall& call, QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::uninstall()";
  onWorkingQueue<bool>(*call.caller, where, std::move(reply), false, [this, caller = call.caller](QLReply<bool> done) {
    auto admission = admit(*caller, "", QLHelperAction::installTool, where);
    if (admission.refusal) return replyOnMain(std::move(done), false, std::move(admission.refusal));
    const auto& table = services_.table;
    bool removed = platform::removeBeneath("/", table.helperBinary(bundleIdentifier)) == 0 &&
                   platform::removeBeneath("/", table.serviceUnit(bundleIdentifier)) == 0;
    const int socket = platform::removeBeneath("/", table.socketUnit(bundleIdentifier));
    removed = removed && (socket == 0 || socket == ENOENT);
    replyOnMain(std::move(done), removed);
  });
}

void QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume(
    const QLHelperCall& call, QLOSVolume volume, QLReply<std::vector<QLRepairPermissionsRepresentableResult>> reply) {
  using Results = std::vector<QLRepairPermissionsRepresentableResult>;
  constexpr const char* where = "QLXPCTarnixHelper::repairDiskPermissionsOnTargetVolume()";
  if (!arguments::isPlainAbsolutePath(volume.mountPoint)) {
    log(where, "Refused volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), Results{});
  }
  onWorkingQueue<Results>(
      *call.caller, where, std::move(reply), {},
      [this, caller = call.caller, replyTo = call.reply, volume = std::move(volume)](QLReply<Results> done) {
        auto admission = admit(*caller, volume.mountPoint, QLHelperAction::repair, where);
        if (admission.refusal) return replyOnMain(std::move(done), Results{}, std::move(admission.refusal));
        ProgressForwarder progress(
            [this, caller = caller.get()](QLXPCHelperContext context) { updateProgress(caller, std::move(context)); });
        QLJournalRun journal({volumeJournal(*admission.volume)},
                             journalHeader("repair-permissions", volume.mountPoint, *caller));
        // Results leave while the repair runs when the caller takes them in parts; the window
        // holds the repair back while the caller is behind.
        QLHelperOperations::QLResultBatches parts;
        if (replyTo && replyTo->acceptsParts())
          parts = [replyTo](Results&& batch) {
            return replyTo->sendEncodedPart(wire::encodeResultsMessage(wire::Kind::part, replyTo->id(), batch));
          };
        auto results = QLHelperOperations::repairPermissions(*admission.volume, volume, caller->maxThreads.load(),
                                                             &progress, journal, parts);
        progress.transferring();
        // Written here, not on the main loop: a whole system's results take a while to write.
        done(std::move(results));
      });
}

void QLXPCTarnixHelper::rebuildCachesOnTargetVolume(const QLHelperCall& call, QLOSVolume volume, QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::rebuildCachesOnTargetVolume()";
  if (!arguments::isPlainAbsolutePath(volume.mountPoint)) {
    log(where, "Refused volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue<bool>(*call.caller, where, std::move(reply), false,
                       [this, caller = call.caller, mountPoint = volume.mountPoint](QLReply<bool> done) {
                         auto admission = admit(*caller, mountPoint, QLHelperAction::repair, where);
                         if (admission.refusal)
                           return replyOnMain(std::move(done), false, std::move(admission.refusal));
                         replyOnMain(std::move(done), QLHelperOperations::rebuildCaches(
                                                          *admission.volume, services_.table, *services_.runner));
                       });
}

void QLXPCTarnixHelper::repairWithFolder(const QLHelperCall& call, std::string folder, QLOSVolume volume,
                                         QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::repairWithFolder()";
  const auto checkedFolder = arguments::kextFolder(folder);
  if (!arguments::isPlainAbsolutePath(volume.mountPoint) || !checkedFolder) {
    log(where, "Refused folder " + folder + " on volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue<bool>(
      *call.caller, where, std::move(reply), false,
      [this, caller = call.caller, mountPoint = volume.mountPoint, folder = *checkedFolder](QLReply<bool> done) {
        auto admission = admit(*caller, mountPoint, QLHelperAction::repair, where);
        if (admission.refusal) return replyOnMain(std::move(done), false, std::move(admission.refusal));
        QLJournalRun journal({volumeJournal(*admission.volume)},
                             journalHeader("repair-kext-folder", mountPoint + folder, *caller));
        replyOnMain(std::move(done), QLHelperOperations::repairKextFolder(*admission.volume, folder, journal));
      });
}

void QLXPCTarnixHelper::changeMaximumThreadsNumber(const QLHelperCall& call, std::int64_t number, QLReply<bool> reply) {
  // The budget of this caller's own repairs: nobody else's, so nobody needs to allow it.
  call.caller->maxThreads = number;
  reply(call.caller->maxThreads.load() == number);
}

void QLXPCTarnixHelper::installWithKernelExtensions(const QLHelperCall& call, std::vector<QLKernelExtension> kexts,
                                                    std::string folder, QLOSVolume volume,
                                                    QLReply<std::vector<QLKernelExtension>> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::installWithKernelExtensions()";
  const auto checkedFolder = arguments::kextFolder(folder);
  if (!arguments::isPlainAbsolutePath(volume.mountPoint) || !checkedFolder) {
    log(where, "Refused folder " + folder + " on volume " + volume.mountPoint + ".");
    return replyOnMain(std::move(reply), std::move(kexts));
  }
  std::vector<QLKernelExtension> allFailed = kexts;
  onWorkingQueue<std::vector<QLKernelExtension>>(
      *call.caller, where, std::move(reply), std::move(allFailed),
      [this, caller = call.caller, mountPoint = volume.mountPoint, folder = *checkedFolder,
       kexts = std::move(kexts)](QLReply<std::vector<QLKernelExtension>> done) mutable {
        auto admission = admit(*caller, mountPoint, QLHelperAction::installKexts, where);
        if (admission.refusal) return replyOnMain(std::move(done), std::move(kexts), std::move(admission.refusal));
        QLJournalRun journal({volumeJournal(*admission.volume)}, journalHeader("install-kexts", mountPoint, *caller));
        replyOnMain(std::move(done), QLHelperOperations::failedKexts(QLHelperOperations::installKexts(
                                         *admission.volume, folder, kexts, caller->rights(), journal)));
      });
}

void QLXPCTarnixHelper::backupWithKernelExtensions(const QLHelperCall& call, std::vector<QLKernelExtension> kexts,
                                                   std::string installedInFolder, QLOSVolume volume,
                                                   std::string destination,
                                                   QLReply<std::vector<QLKernelExtension>> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::backupWithKernelExtensions()";
  if (kexts.empty()) return reply({});
  const auto folder = arguments::kextFolder(installedInFolder);
  if (!arguments::isPlainAbsolutePath(volume.mountPoint) || !folder || !arguments::isPlainAbsolutePath(destination)) {
    log(where, "Refused folder " + installedInFolder + " on volume " + volume.mountPoint + " to " + destination + ".");
    return replyOnMain(std::move(reply), std::move(kexts));
  }
  std::vector<QLKernelExtension> allFailed = kexts;
  onWorkingQueue<std::vector<QLKernelExtension>>(
      *call.caller, where, std::move(reply), std::move(allFailed),
      [this, caller = call.caller, mountPoint = volume.mountPoint, folder = *folder,
       destination = std::move(destination),
       kexts = std::move(kexts)](QLReply<std::vector<QLKernelExtension>> done) mutable {
        auto admission = admit(*caller, mountPoint, QLHelperAction::installKexts, where);
        if (admission.refusal) return replyOnMain(std::move(done), std::move(kexts), std::move(admission.refusal));
        QLJournalRun journal({volumeJournal(*admission.volume)}, journalHeader("backup-kexts", mountPoint, *caller));
        replyOnMain(std::move(done), QLHelperOperations::backupKexts(*admission.volume, folder, kexts, destination,
                                                                     caller->rights(), journal));
      });
}

void QLXPCTarnixHelper::installBrambleFromSourcePath(const QLHelperCall& call, std::string source,
                                                     std::string destination, QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::installBrambleFromSourcePath()";
  if (destination != services_.table.toolPath || !arguments::isPlainAbsolutePath(source)) {
    log(where, "Refused " + source + " to " + destination + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue<bool>(*call.caller, where, std::move(reply), false,
                       [this, caller = call.caller, source = std::move(source)](QLReply<bool> done) {
                         auto admission = admit(*caller, "", QLHelperAction::installTool, where);
                         if (admission.refusal)
                           return replyOnMain(std::move(done), false, std::move(admission.refusal));
                         const auto tool =
                             QLHelperOperations::toolFromSource(source, services_.table, caller->rights());
                         replyOnMain(std::move(done), tool && QLHelperOperations::installTool(*tool, services_.table));
                       });
}

void QLXPCTarnixHelper::uninstallBrambleFromPath(const QLHelperCall& call, std::string path, QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::uninstallBrambleFromPath()";
  if (path != services_.table.toolPath) {
    log(where, "Refused " + path + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue<bool>(*call.caller, where, std::move(reply), false, [this, caller = call.caller](QLReply<bool> done) {
    auto admission = admit(*caller, "", QLHelperAction::installTool, where);
    if (admission.refusal) return replyOnMain(std::move(done), false, std::move(admission.refusal));
    replyOnMain(std::move(done), QLHelperOperations::uninstallTool(services_.table));
  });
}

void QLXPCTarnixHelper::applyBooterConfigViaNVRAMWithNewBooterConfig(const QLHelperCall& call, std::int64_t value,
                                                                     QLReply<bool> reply) {
  constexpr const char* where = "QLXPCTarnixHelper::applyBooterConfigViaNVRAMWithNewBooterConfig()";
  if (!QLHelperOperations::encodedBooterValue(value)) {
    log(where, "Refused booter value " + std::to_string(value) + ".");
    return replyOnMain(std::move(reply), false);
  }
  onWorkingQueue<bool>(
      *call.caller, where, std::move(reply), false, [this, caller = call.caller, value](QLReply<bool> done) {
        auto admission = admit(*caller, "", QLHelperAction::writeNvram, where);
        if (admission.refusal) return replyOnMain(std::move(done), false, std::move(admission.refusal));
        QLJournalRun journal({systemJournal()}, journalHeader("write-nvram", "bootercfg", *caller));
        replyOnMain(std::move(done), QLHelperOperations::writeBooterWord(value, services_.table, *services_.runner,
                                                                         *services_.variables, journal));
      });
}

}  // namespace tarnix
