#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/core/QLApplicationLock.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLInstanceChannel.h"

int main(int argc, char** argv) {
  using namespace tarnix;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnix EZInstaller"));
  QApplication::setDesktopFileName(QLatin1String(kQLEZInstallerIdentifier));
  // Each run decides when to end: closing an alert or a hidden window must not quit.
  QApplication::setQuitOnLastWindowClosed(false);

  // Absolute paths: a running installer has another working folder.
  QStringList paths;
  for (const QString& argument : QApplication::arguments().mid(1)) {
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    paths << QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  }

  // Held while this process runs: Tarnix looks for it, a second launch forwards to it.
  QLApplicationLock lock{QLatin1String(kQLEZInstallerIdentifier)};
  if (!lock.tryLock()) return ezinstaller::QLInstanceChannel::forward(paths) ? 0 : 1;

  ezinstaller::AppDelegate delegate(application);
  if (!delegate.applicationWillFinishLaunching()) return 0;
  ezinstaller::QLInstanceChannel channel;
  QObject::connect(&channel, &ezinstaller::QLInstanceChannel::didReceiveFiles, &delegate,
                   [&delegate](const QStringList& forwarded) {
                     if (forwarded.isEmpty()) delegate.applicationShouldHandleReopen();
                     else delegate.applicationOpenFiles(forwarded);
                   });
  channel.listen();
  if (!paths.isEmpty()) delegate.applicationOpenFiles(paths);
  delegate.applicationDidFinishLaunching();
  return QApplication::exec();
}
