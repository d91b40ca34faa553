#pragma once
// Turns the helper client's reports, which arrive on the connection thread, into
// notifications and signals on the GUI thread.
#include <QObject>
#include <QVariantMap>

#include "client/QLXPCHelperManagerDelegate.h"

namespace tarnix {

class QLHelperNotificationBridge final : public QObject, public QLXPCHelperManagerDelegate {
  Q_OBJECT
 public:
  // The object of a context notification: {"status": text, "progress": per cent}.
  static QVariantMap contextObject(const QLXPCHelperContext& context);

  explicit QLHelperNotificationBridge(QObject* parent = nullptr);

  void helperManagerDidFail(const QLXPCHelper& helper, QLXPCHelperManagerError error,
                            const std::optional<std::string>& additionalInformation) override;
  void helperManagerDidConnect(const QLXPCHelper& helper) override;
  void helperManagerDidReceiveContext(const QLXPCHelper& helper, const QLXPCHelperContext& context) override;
  void postNotification(const QLXPCHelperManagerNotification& notification) override;

 signals:
  // Queued to the bridge's thread.
  void didFail(int error, const QString& information);
  void didConnect();
};

}  // namespace tarnix
