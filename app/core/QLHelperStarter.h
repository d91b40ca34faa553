#pragma once
// Starts the helper without freezing the window: the install step, which waits for the user
// to answer the authorization dialog, runs on a worker thread; connecting follows on the GUI
// thread. While the dialog is up the starter says so, for the windows to show it.
#include <QObject>

namespace tarnix {

class QLXPCHelperManager;

class QLHelperStarter final : public QObject {
  Q_OBJECT
 public:
  explicit QLHelperStarter(QObject* parent = nullptr) : QObject(parent) {}

  // Installs the helper when it is missing, then connects. The outcome arrives as the
  // manager's reports (connected, or the error); a second call while one runs does nothing.
  void start(QLXPCHelperManager& manager);
  bool isWaitingForAuthorization() const { return waiting_; }

 signals:
  void waitingForAuthorizationChanged(bool waiting);

 private:
  void setWaiting(bool waiting);
  bool waiting_ = false;
};

}  // namespace tarnix
