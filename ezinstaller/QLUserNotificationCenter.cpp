#include "ezinstaller/QLUserNotificationCenter.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <cstdio>

namespace tarnix::ezinstaller {

QLUserNotificationCenter& QLUserNotificationCenter::defaultCenter() {
  static QLUserNotificationCenter center;
  return center;
}

QString QLUserNotificationCenter::fallbackLine(const QLUserNotification& notification) {
  QString line = QStringLiteral("QLUserNotificationCenter::deliver() ") + notification.title + QStringLiteral(": ") +
                 notification.subtitle;
  if (!notification.informativeText.isEmpty()) line += QStringLiteral(" - ") + notification.informativeText;
  return line;
}

QLUserNotificationCenter::Delivery QLUserNotificationCenter::deliver(const QLUserNotification& notification) {
  return deliver(notification, QDBusConnection::sessionBus());
}

QLUserNotificationCenter::Delivery QLUserNotificationCenter::deliver(const QLUserNotification& notification,
                                                                     QDBusConnection bus) {
  if (observer) observer(notification);
  if (bus.isConnected()) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Desktop notifications have no subtitle field: it leads the body.
    QString body = notification.subtitle;
    if (!notification.informativeText.isEmpty()) body += QLatin1Char('\n') + notification.informativeText;
    // Servers that speak body markup would read a kext named "A&B" or "<x>" as markup.
    body = body.toHtmlEscaped();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("local.quillon.tarnix.ezinstaller")},
                            {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
                            {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(1))}};
    call << QStringLiteral("Tarnix EZInstaller") << 0u << QStringLiteral("local.quillon.tarnix.ezinstaller")
         << notification.title << body << QStringList() << hints << -1;
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ReplyMessage) return Delivery::desktop;
    std::fprintf(stderr, "QLUserNotificationCenter::deliver() No notification service: %s\n",
                 qPrintable(answer.errorMessage()));
  }
  std::fprintf(stderr, "%s\n", fallbackLine(notification).toUtf8().constData());
  std::fflush(stderr);
  return Delivery::fallback;
}

}  // namespace tarnix::ezinstaller
