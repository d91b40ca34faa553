#pragma once
// The application's shared state: its settings, the helper client, and the proxy the panes
// call. Main thread only.
#include <functional>
#include <memory>

#include "app/core/QLHelperNotificationBridge.h"
#include "app/core/QLHelperStarter.h"
#include "app/core/QLSettingsPreferenceStore.h"
#include "client/QLXPCHelperManager.h"
#include "model/QLPreferences.h"

class QString;
class QWidget;

namespace tarnix {

class QLAppManager {
 public:
  static QLAppManager& shared();

  QLPreferenceStore& store() { return *store_; }
  QLPreferences& preferences() { return preferences_; }
  QLHelperNotificationBridge& bridge() { return bridge_; }

  // Made on first use; its reports go through the bridge.
  QLXPCHelperManager& xpcManager();
  // The helper's remote object; null while not connected.
  QLXPCTarnixHelperProtocol* proxy();
  // Tests and tools put their own object in front of the helper; null restores the client's.
  void setProxy(QLXPCTarnixHelperProtocol* proxy) { proxyOverride_ = proxy; }

  // Makes the volume chosen at the last launch the selected one again, when it still holds a
  // macOS system that is not a recovery system; otherwise the selection stays as it is.
  void restoreLastTargetVolume();

  // Sets the authorization prompt and installs (when missing) and connects the helper without
  // blocking the GUI thread; the starter tells while the authorization dialog is up.
  void startHelper(const QString& prompt);
  QLHelperStarter& helperStarter() { return starter_; }

  // Whether the helper rebuilds kext caches at once: it runs kextcache when its table's
  // program exists; without it the caches are only marked for rebuild at the next boot.
  // Read from the same table (environment included) as the helper's.
  static bool helperRebuildsCachesNow();

  // Ends the application in order (the quit sequence runs); tests record the request instead.
  void terminate() { terminateHandler(); }
  std::function<void()> terminateHandler;

  // What both applications do when the helper connection fails (`error` is a
  // QLXPCHelperManagerError): two diagnostic lines, then an alert over `window` whose
  // dismissal ends the application. The alert says what to try.
  void helperDidFail(QWidget* window, int error, const QString& information);
  // What both applications do once the helper answers, on every didConnect of the bridge: a
  // diagnostic line, test2: with its reply logged, then the thread budget (the stored
  // preference, or the processor count when none is stored) set here and sent to the helper.
  void helperDidConnect();
  // The quit sequence's step: tells the helper to end, when one is connected.
  void terminateHelper();

 private:
  QLAppManager();
  std::unique_ptr<QLSettingsPreferenceStore> store_;
  QLPreferences preferences_;
  QLHelperNotificationBridge bridge_;
  QLHelperStarter starter_;
  std::unique_ptr<QLXPCHelperManager> xpcManager_;
  QLXPCTarnixHelperProtocol* proxyOverride_ = nullptr;
};

}  // namespace tarnix
