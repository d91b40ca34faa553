#pragma once
// The desktop notification that ends a run: org.freedesktop.Notifications on the session bus,
// or, where no notification service answers, one line on standard error so the outcome is
// never lost.
#include <QDBusConnection>
#include <QString>
#include <functional>

namespace tarnix::ezinstaller {

struct QLUserNotification {
  QString title;
  QString subtitle;
  QString informativeText;
};

class QLUserNotificationCenter {
 public:
  enum class Delivery { desktop, fallback };

  static QLUserNotificationCenter& defaultCenter();

  // Blocks until the service has answered (or a few seconds passed): the application quits
  // right after.
  Delivery deliver(const QLUserNotification& notification);
  // The same on a given bus.
  Delivery deliver(const QLUserNotification& notification, QDBusConnection bus);
  // The text of the fallback line.
  static QString fallbackLine(const QLUserNotification& notification);

  // Sees every notification before it is delivered (tests, logs).
  std::function<void(const QLUserNotification&)> observer;
};

}  // namespace tarnix::ezinstaller
