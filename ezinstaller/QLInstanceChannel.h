#pragma once
// Files dropped on the icon while the installer runs start a second process; it hands its
// paths to the running one over a local socket in the user's runtime folder and ends.
#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace tarnix::ezinstaller {

class QLInstanceChannel final : public QObject {
  Q_OBJECT
 public:
  // "<runtime folder>/local.quillon.tarnix.ezinstaller.socket".
  static QString socketPath();
  // Sends one batch (empty: just show the window) to the running installer and waits for its
  // receipt; false when no installer took it within `timeoutMs`.
  static bool forward(const QStringList& paths, int timeoutMs = 5000);

  explicit QLInstanceChannel(QObject* parent = nullptr);
  // Owner-only socket; a socket file left by an ended process is replaced.
  bool listen();

 signals:
  void didReceiveFiles(const QStringList& paths);

 private:
  void accept();
  QLocalServer server_;
};

}  // namespace tarnix::ezinstaller
