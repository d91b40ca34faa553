#pragma once
// The application's default notification centre: named notifications with an optional
// object, delivered to observers on the centre's thread (the GUI thread).
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

namespace tarnix {

// Names shared by the panes and the main window.
inline constexpr const char* kQLNotificationDidExecute = "local.quillon.tarnix.didExecute";
inline constexpr const char* kQLNotificationDidSelectAValidOSVolume =
    "local.quillon.tarnix.abstract.didSelectAValidOSVolume";
inline constexpr const char* kQLNotificationDidChangeEZInstallationModeStatus =
    "local.quillon.tarnix.didChangeEZInstallationModeStatus";

class QLNotificationCenter final : public QObject {
  Q_OBJECT
 public:
  // Lives on the application's (the GUI) thread, whichever thread asks first.
  static QLNotificationCenter& defaultCenter();

  // Synchronous on the centre's thread; from any other thread the delivery is queued to it.
  void post(const QString& name, const QVariant& object = {});

  // Calls `handler` with the object of every `name` notification while `receiver` lives.
  QMetaObject::Connection observe(QObject* receiver, const QString& name, std::function<void(const QVariant&)> handler);

 signals:
  void notified(const QString& name, const QVariant& object);
};

}  // namespace tarnix
