#include "app/core/QLHelperNotificationBridge.h"

#include "app/core/QLNotificationCenter.h"

namespace tarnix {

QVariantMap QLHelperNotificationBridge::contextObject(const QLXPCHelperContext& context) {
  return {{QStringLiteral("status"), QString::fromStdString(context.status)},
          {QStringLiteral("progress"), context.progress},
          {QStringLiteral("phase"), QString::fromStdString(context.phase)}};
}

QLHelperNotificationBridge::QLHelperNotificationBridge(QObject* parent) : QObject(parent) {}

void QLHelperNotificationBridge::helperManagerDidFail(const QLXPCHelper&, QLXPCHelperManagerError error,
                                                      const std::optional<std::string>& additionalInformation) {
  const QString information = additionalInformation ? QString::fromStdString(*additionalInformation) : QString();
  QMetaObject::invokeMethod(
      this, [this, error, information] { emit didFail(static_cast<int>(error), information); }, Qt::QueuedConnection);
}

void QLHelperNotificationBridge::helperManagerDidConnect(const QLXPCHelper&) {
  QMetaObject::invokeMethod(
      this, [this] { emit didConnect(); }, Qt::QueuedConnection);
}

// The context reaches the panes through the notification below.
void QLHelperNotificationBridge::helperManagerDidReceiveContext(const QLXPCHelper&, const QLXPCHelperContext&) {}

void QLHelperNotificationBridge::postNotification(const QLXPCHelperManagerNotification& notification) {
  QVariant object;
  if (notification.errorValue) object = static_cast<int>(*notification.errorValue);
  if (notification.context) object = contextObject(*notification.context);
  QLNotificationCenter::defaultCenter().post(QString::fromStdString(notification.name), object);
}

}  // namespace tarnix
