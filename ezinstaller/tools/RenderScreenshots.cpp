// Renders the EZ installer's preference pane and its installer pane into PNG files,
// offscreen, with made-up settings: tarnix-ezinstaller-screenshots OUTPUT_FOLDER.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <cstdio>

#include "app/core/QLLocalization.h"
#include "ezinstaller/QLEZInstallerPreferences.h"
#include "ezinstaller/QLEZLocalization.h"
#include "ezinstaller/QLMainEZInstallerPreferenceViewController.h"
#include "ezinstaller/QLMainEZInstallerViewController.h"
#include "model/QLOSVolumeManager.h"

using namespace tarnix;
using namespace tarnix::ezinstaller;

namespace {

bool save(QWidget* widget, const QString& path) {
  widget->show();
  QApplication::processEvents();
  const bool saved = widget->grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarnix-ezinstaller-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  // Nothing of the user's settings is read or written.
  QStandardPaths::setTestModeEnabled(true);
  QLEZInstallStringTables(application);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  QLEZInstallerPreferences& preferences = QLEZInstallerPreferences::shared();
  preferences.store().removeAll();
  preferences.registerDefaults();

  bool ok = true;
  {
    QLMainEZInstallerPreferenceViewController pane;
    pane.loadView();
    // As it reads with a volume chosen: "/" of the build machine is no macOS volume.
    pane.outletFieldTargetVolume->setText(QStringLiteral("/media/user/Macintosh HD  (10.13.6 (17G65))"));
    ok = save(&pane, folder + QStringLiteral("/ezinstaller-preferences.png")) && ok;
  }
  {
    QLOSVolumeManager::shared().setSelected(
        QLOSVolume::fromArchive("/media/user/Macintosh HD", QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65")));
    QLMainEZInstallerViewController pane;
    pane.loadView();
    pane.updateStatusWithLocalizedString(QLLocalizedString("kQLMainAbstractInstallingKexts"));
    ok = save(&pane, folder + QStringLiteral("/ezinstaller-installing.png")) && ok;
  }
  preferences.store().removeAll();
  return ok ? 0 : 1;
}
