#pragma once
// The object the daemon exports on every connection: the maintenance and installation
// operations. Each operation that changes something runs on the helper's pool of workers
// (QLHelperWorkQueue), where it first opens the caller's volume (checked, unless the caller is
// trusted as the daemon itself), then asks polkit, then does the work of QLHelperOperations;
// replies go out from the daemon's main loop, or, for a repair's results, are written and sent
// from its worker. Progress goes to the connection that asked.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "helper/QLHelperAuthorization.h"
#include "helper/QLHelperCall.h"
#include "helper/QLHelperWorkQueue.h"
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCHelper.h"
#include "helper/protocol/QLXPCHelperContextProtocol.h"
#include "helper/protocol/QLXPCHelperRefusal.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"
#include "journal/QLJournalRecord.h"
#include "platform/FirmwareVariables.h"
#include "platform/HelperPlatformTable.h"
#include "platform/Process.h"
#include "platform/VolumeHandle.h"

namespace tarnix {

struct QLHelperServices {
  platform::HelperPlatformTable table = platform::HelperPlatformTable::current();
  platform::ProcessRunner* runner = &platform::linuxProcessRunner();
  // Read for the journal before a variable is written.
  platform::FirmwareVariables* variables = &platform::efiFirmwareVariables();
  // Runs a block on the daemon's main loop (where replies are sent from).
  std::function<void(std::function<void()>)> postToMain;
  // On the main loop: a caller asked the daemon to end (it has marked itself so), and an
  // operation has ended (its reply already on its way). The daemon decides when to exit.
  std::function<void()> terminateRequested;
  std::function<void()> operationEnded;
  std::string version;  // the running helper's version
  QLPolkitQuestion askPolkit = platform::checkPolkitAuthorization;
  QLHelperWorkQueue::Limits work;
};

class QLXPCTarnixHelper final : public QLXPCHelper {
 public:
  QLXPCTarnixHelper(std::string bundleID, std::string version, QLHelperServices services);

  // Receivers of progress, one per connection, with the connection's caller; a repair's
  // progress goes to its caller's.
  void addReceiver(std::shared_ptr<QLXPCHelperContextProtocol> receiver, const QLHelperCaller* caller);
  void removeReceiver(const QLXPCHelperContextProtocol* receiver);
  // Operations queued or running (main loop only).
  std::size_t operationsOutstanding() const { return outstanding_; }

  // The protocol's methods, each with the call it answers ahead of the protocol's arguments
  // (QLXPCTarnixHelperStub invokes them so).
#define QL_HELPER_DECLARE_CALL(method, selector, R, ...) \
  void method(const QLHelperCall& call, __VA_ARGS__ __VA_OPT__(, ) QLReply<R> reply);
#define QL_HELPER_DECLARE_ONEWAY(method, selector, ...) \
  void method(const QLHelperCall& call __VA_OPT__(, ) __VA_ARGS__);
  QL_XPC_TARNIX_HELPER_CALLS(QL_HELPER_DECLARE_CALL, QL_HELPER_DECLARE_ONEWAY)
#undef QL_HELPER_DECLARE_CALL
#undef QL_HELPER_DECLARE_ONEWAY

 private:
  // What a call may go on with: its volume, or why it was refused.
  struct Admission {
    std::optional<platform::VolumeHandle> volume;
    std::optional<QLXPCHelperRefusal> refusal;
  };
  // On the operation's thread: opens `mountPoint` as `caller` may have it opened, then asks
  // for `action`. An empty mount point asks only.
  Admission admit(QLHelperCaller& caller, const std::string& mountPoint, QLHelperAction action, const char* where);
  void updateProgress(const QLHelperCaller* caller, QLXPCHelperContext context);
  // Who a run in the journal was made for.
  QLJournalHeader journalHeader(const char* operation, std::string target, const QLHelperCaller& caller) const;
  // Runs `work` on the pool as the caller's; it replies through replyOnMain. When the caller
  // has as much waiting as the pool takes, `busy` is the reply at once.
  template <typename T>
  void onWorkingQueue(const QLHelperCaller& caller, const char* where, QLReply<T> reply, T busy,
                      std::function<void(QLReply<T>)> work);
  template <typename T>
  void replyOnMain(QLReply<T> reply, T value, std::optional<QLXPCHelperRefusal> refusal = std::nullopt);

  struct Receiver {
    std::shared_ptr<QLXPCHelperContextProtocol> receiver;
    const QLHelperCaller* caller;
  };
  QLHelperServices services_;
  std::mutex receiversMutex_;
  std::vector<Receiver> receivers_;
  std::size_t outstanding_ = 0;  // main loop only
  QLHelperWorkQueue pool_;       // last: its workers end before what they use
};

}  // namespace tarnix
