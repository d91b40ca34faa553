#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/AppDelegate.h"

int main(int argc, char** argv) {
  // Answered before any window system is needed, so they work from a plain terminal.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "Usage: tarnix\n\nThe Tarnix application: repair permissions, install kexts and change the SIP\n"
          "and booter words of a mounted macOS volume. See 'man tarnix' and the user guide\n"
          "in /usr/share/doc/tarnix/.\n\n"
          "Environment: TARNIX_HELPER_SOCKET=PATH connects to a helper started with --listen PATH.\n");
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Tarnix %s\n", TARNIX_VERSION);
      return 0;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnix"));
  QApplication::setDesktopFileName(QStringLiteral("local.quillon.tarnix"));
  tarnix::AppDelegate delegate(application);
  if (!delegate.applicationWillFinishLaunching()) return 0;
  delegate.applicationDidFinishLaunching();
  return QApplication::exec();
}
