#include "app/core/QLNotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

namespace tarnix {

QLNotificationCenter& QLNotificationCenter::defaultCenter() {
  // The first post may come from a connection thread: the centre belongs to the GUI thread.
  static QLNotificationCenter* center = [] {
    auto* made = new QLNotificationCenter;
    if (auto* application = QCoreApplication::instance()) made->moveToThread(application->thread());
    return made;
  }();
  return *center;
}

void QLNotificationCenter::post(const QString& name, const QVariant& object) {
  if (QThread::currentThread() == thread()) {
    emit notified(name, object);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, name, object] { emit notified(name, object); }, Qt::QueuedConnection);
}

QMetaObject::Connection QLNotificationCenter::observe(QObject* receiver, const QString& name,
                                                      std::function<void(const QVariant&)> handler) {
  return connect(this, &QLNotificationCenter::notified, receiver,
                 [name, handler = std::move(handler)](const QString& posted, const QVariant& object) {
                   if (posted == name) handler(object);
                 });
}

}  // namespace tarnix
