#include "app/core/QLNotificationCenter.h"

#include <QThread>

namespace tarnix {

QLNotificationCenter& QLNotificationCenter::defaultCenter() {
  static QLNotificationCenter center;
  return center;
}

void QLNotificationCenter::post(const QString& name, const QVariant& object) {
  if (QThread::currentThread() == thread()) {
    emit notified(name, object);
    return;
  }
  QMetaObject::invokeMethod(this, [this, name, object] { emit notified(name, object); }, Qt::QueuedConnection);
}

QMetaObject::Connection QLNotificationCenter::observe(QObject* receiver, const QString& name,
                                                      std::function<void(const QVariant&)> handler) {
  return connect(this, &QLNotificationCenter::notified, receiver,
                 [name, handler = std::move(handler)](const QString& posted, const QVariant& object) {
                   if (posted == name) handler(object);
                 });
}

}  // namespace tarnix
