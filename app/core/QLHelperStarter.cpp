#include "app/core/QLHelperStarter.h"

#include <QThread>
#include <memory>

#include "client/QLXPCHelperManager.h"

namespace tarnix {

void QLHelperStarter::start(QLXPCHelperManager& manager) {
  if (waiting_) return;
  if (!manager.needsInstallation()) return manager.connect();
  setWaiting(true);
  auto installed = std::make_shared<bool>(false);
  // Not parented and deleted when done: should the application end while the dialog is up,
  // the thread ends with the process rather than a destructor waiting for the user.
  QThread* worker = QThread::create([&manager, installed] { *installed = manager.install(); });
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  connect(worker, &QThread::finished, this, [this, &manager, installed] {
    setWaiting(false);
    if (*installed) manager.connect();
  });
  worker->start();
}

void QLHelperStarter::setWaiting(bool waiting) {
  if (waiting_ == waiting) return;
  waiting_ = waiting;
  emit waitingForAuthorizationChanged(waiting);
}

}  // namespace tarnix
