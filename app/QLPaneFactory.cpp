#include "app/QLPaneFactory.h"

#include "app/QLBooterConfigViewController.h"
#include "app/QLInstallationViewController.h"
#include "app/QLMainAboutViewController.h"
#include "app/QLMainCommandLineToolsViewController.h"
#include "app/QLMainPreferenceViewController.h"
#include "app/QLMaintenanceViewController.h"
#include "app/QLSIPConfigViewController.h"

namespace tarnix::QLPaneFactory {

const QStringList& toolbarIdentifiers() {
  static const QStringList identifiers{QLatin1String(kQLSBIDMaintenance), QLatin1String(kQLSBIDInstallation),
                                       QLatin1String(kQLSBIDSIPConfig), QLatin1String(kQLSBIDBooterConfig),
                                       QLatin1String(kQLSBIDCommandLineTools)};
  return identifiers;
}

const char* labelKey(const QString& identifier) {
  if (identifier == QLatin1String(kQLSBIDMaintenance)) return "kQLMainMaintenance";
  if (identifier == QLatin1String(kQLSBIDInstallation)) return "kQLMainInstallation";
  if (identifier == QLatin1String(kQLSBIDSIPConfig)) return "kQLMainSIPConfig";
  if (identifier == QLatin1String(kQLSBIDBooterConfig)) return "kQLMainBooterConfig";
  if (identifier == QLatin1String(kQLSBIDCommandLineTools)) return "kQLMainCommandLineTools";
  return "";
}

QLMainAbstractViewController* instantiate(const QString& identifier) {
  QLMainAbstractViewController* pane = nullptr;
  if (identifier == QLatin1String(kQLSBIDMaintenance))
    pane = new QLMaintenanceViewController;
  else if (identifier == QLatin1String(kQLSBIDInstallation))
    pane = new QLInstallationViewController;
  else if (identifier == QLatin1String(kQLSBIDSIPConfig))
    pane = new QLSIPConfigViewController;
  else if (identifier == QLatin1String(kQLSBIDBooterConfig))
    pane = new QLBooterConfigViewController;
  else if (identifier == QLatin1String(kQLSBIDCommandLineTools))
    pane = new QLMainCommandLineToolsViewController;
  else if (identifier == QLatin1String(kQLSBIDPreferences))
    pane = new QLMainPreferenceViewController;
  else if (identifier == QLatin1String(kQLSBIDAbout))
    pane = new QLMainAboutViewController;
  if (pane) pane->loadView();
  return pane;
}

}  // namespace tarnix::QLPaneFactory
