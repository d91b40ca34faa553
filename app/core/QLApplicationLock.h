#pragma once
// Which of the two applications runs: each holds a lock file named after its identifier in
// the user's runtime directory while it runs, and looks for the other's at launch.
#include <QLockFile>
#include <QString>

namespace tarnix {

inline constexpr const char* kQLTarnixIdentifier = "local.quillon.tarnix";
inline constexpr const char* kQLEZInstallerIdentifier = "local.quillon.tarnix.ezinstaller";

class QLApplicationLock {
 public:
  // "<runtime directory>/<identifier>.lock".
  static QString lockPath(const QString& identifier);
  // A live process holds the identifier's lock. A lock left by a process that has ended is
  // not held (and is cleared).
  static bool isHeld(const QString& identifier);

  explicit QLApplicationLock(const QString& identifier);
  // Takes the lock for as long as this object lives; false when another process has it.
  bool tryLock();

 private:
  QLockFile file_;
};

}  // namespace tarnix
