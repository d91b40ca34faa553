#include "ezinstaller/QLEZLocalization.h"

#include <QCoreApplication>
#include <QTranslator>
#include <string>

#include "app/core/QLLocalization.h"

namespace tarnix::ezinstaller {
namespace {

QTranslator& installerTable() {
  static QTranslator table;
  return table;
}

bool loaded() {
  return !installerTable().isEmpty() || installerTable().load(QStringLiteral(":/i18n/tarnix_ezinstaller_en.qm"));
}

}  // namespace

bool QLEZInstallStringTables(QCoreApplication& application) {
  const bool shared = QLInstallStringTable(application);
  if (!loaded()) return false;
  application.installTranslator(&installerTable());
  return shared;
}

bool QLEZHasLocalizedString(std::string_view key) {
  if (QLHasLocalizedString(key)) return true;
  const std::string id(key);
  return loaded() && !installerTable().translate(nullptr, id.c_str()).isEmpty();
}

}  // namespace tarnix::ezinstaller
