#include "app/core/QLLocalization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <string>

#include "engine/results/QLRepairPermissionsTypes.h"

namespace tarnix {
namespace {

QTranslator& englishTable() {
  static QTranslator table;
  return table;
}

QTranslator& systemTable() {
  static QTranslator table;
  return table;
}

std::string engineTranslator(std::string_view key) { return QLLocalizedString(key).toStdString(); }

}  // namespace

bool QLInstallStringTable(QCoreApplication& application) {
  if (!englishTable().isEmpty() || englishTable().load(QStringLiteral(":/i18n/tarnix_en.qm"))) {
    application.installTranslator(&englishTable());
  } else {
    return false;
  }
  // Installed last, so consulted first; English fills what it lacks.
  if (systemTable().load(QLocale(), QStringLiteral("tarnix"), QStringLiteral("_"), QStringLiteral(":/i18n")) &&
      QLocale().language() != QLocale::English)
    application.installTranslator(&systemTable());
  setTranslator(&engineTranslator);
  return true;
}

QString QLLocalizedString(std::string_view key) {
  const std::string id(key);
  return qtTrId(id.c_str());
}

QString QLLocalizedString(std::string_view key, std::string_view fallback) {
  const std::string id(key);
  const QString text = qtTrId(id.c_str());
  if (text == QLatin1String(id.c_str()) && !QLHasLocalizedString(key))
    return QString::fromUtf8(fallback.data(), static_cast<qsizetype>(fallback.size()));
  return text;
}

bool QLHasLocalizedString(std::string_view key) {
  if (englishTable().isEmpty() && !englishTable().load(QStringLiteral(":/i18n/tarnix_en.qm"))) return false;
  const std::string id(key);
  return !englishTable().translate(nullptr, id.c_str()).isEmpty();
}

}  // namespace tarnix
