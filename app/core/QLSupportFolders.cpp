#include "app/core/QLSupportFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace tarnix::QLSupportFolders {

const QString& supportFolder() {
  static const QString folder =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tarnix");
  return folder;
}

const QString& kextsFolder() {
  static const QString folder = supportFolder() + QStringLiteral("/Kexts");
  return folder;
}

const QString& updatesFolder() {
  static const QString folder = supportFolder() + QStringLiteral("/Updates");
  return folder;
}

bool create() {
  const bool kexts = QDir().mkpath(kextsFolder());
  const bool updates = QDir().mkpath(updatesFolder());
  return kexts && updates;
}

}  // namespace tarnix::QLSupportFolders
