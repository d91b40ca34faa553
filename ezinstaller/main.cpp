#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "app/core/QLApplicationLock.h"
#include "ezinstaller/AppDelegate.h"
#include "ezinstaller/QLInstanceChannel.h"

int main(int argc, char** argv) {
  using namespace tarnix;
  // Options are answered before any window system is needed; anything else that looks like
  // one is refused rather than taken for a dropped file, which would start a repair run.
  bool optionsEnded = false;
  for (int i = 1; i < argc && !optionsEnded; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--") == 0)
      optionsEnded = true;
    else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
      std::printf(
          "Usage: tarnix-ezinstaller [FILE...]\n\nInstalls the kext bundles given (or dropped on its icon) into the "
          "target macOS\n"
          "volume, then repairs its permissions and rebuilds its kext caches. Without files\n"
          "it shows its preferences. See 'man tarnix-ezinstaller'.\n");
      return 0;
    } else if (std::strcmp(argument, "--version") == 0) {
      std::printf("Tarnix EZInstaller %s\n", TARNIX_VERSION);
      return 0;
    } else if (argument[0] == '-' && argument[1] != '\0') {
      std::fprintf(stderr, "tarnix-ezinstaller: unknown option %s (a file of that name: ./%s)\n", argument, argument);
      return 2;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnix EZInstaller"));
  QApplication::setDesktopFileName(QLatin1String(kQLEZInstallerIdentifier));
  // Each run decides when to end: closing an alert or a hidden window must not quit.
  QApplication::setQuitOnLastWindowClosed(false);

  // Absolute paths: a running installer has another working folder.
  QStringList paths;
  for (const QString& argument : QApplication::arguments().mid(1)) {
    if (argument == QLatin1String("--")) continue;
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
                     if (forwarded.isEmpty())
                       delegate.applicationShouldHandleReopen();
                     else
                       delegate.applicationOpenFiles(forwarded);
                   });
  channel.listen();
  if (!paths.isEmpty()) delegate.applicationOpenFiles(paths);
  delegate.applicationDidFinishLaunching();
  return QApplication::exec();
}
