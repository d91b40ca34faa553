#include <QApplication>

#include "app/AppDelegate.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnix"));
  QApplication::setDesktopFileName(QStringLiteral("local.quillon.tarnix"));
  tarnix::AppDelegate delegate(application);
  if (!delegate.applicationWillFinishLaunching()) return 0;
  delegate.applicationDidFinishLaunching();
  return QApplication::exec();
}
