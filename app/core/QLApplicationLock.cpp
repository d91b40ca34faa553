#include "app/core/QLApplicationLock.h"

#include <QDir>
#include <QStandardPaths>

namespace tarnix {

QString QLApplicationLock::lockPath(const QString& identifier) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + QLatin1Char('/') + identifier + QStringLiteral(".lock");
}

bool QLApplicationLock::isHeld(const QString& identifier) {
  QLockFile probe(lockPath(identifier));
  if (probe.tryLock(0)) {
    probe.unlock();
    return false;
  }
  return probe.error() == QLockFile::LockFailedError;
}

QLApplicationLock::QLApplicationLock(const QString& identifier) : file_(lockPath(identifier)) {
  // Never taken over by age: a lock is stale only when its process is gone.
  file_.setStaleLockTime(0);
}

bool QLApplicationLock::tryLock() { return file_.isLocked() || file_.tryLock(0); }

}  // namespace tarnix
