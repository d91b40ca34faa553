#include "app/core/QLCommandLineTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QVariant>

#include "platform/Files.h"
#include "platform/HelperPlatformTable.h"
#include "platform/InstallPaths.h"
#include "platform/Process.h"
#include "platform/PropertyList.h"

#ifndef TARNIX_BRAMBLE_RSS
#define TARNIX_BRAMBLE_RSS ""
#endif

namespace tarnix::QLCommandLineTool {

QString fileName() { return QFileInfo(QLatin1String(kLocalPath)).fileName(); }

QString localFilePath() {
  return QString::fromStdString(platform::HelperPlatformTable::current().installed(kLocalPath));
}

QString integratedPath(const QString& applicationFolder) {
  // packaging/ builds the integrated copy into packaging/integrated/ of the build tree; the
  // application sits in app/ of it, and test programs one level deeper.
  const QString built = QStringLiteral("packaging/integrated/") + fileName();
  for (const char* up : {"/../", "/../../"}) {
    const QString candidate = QDir::cleanPath(applicationFolder + QLatin1String(up) + built);
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return QLatin1String(platform::kInstalledApplicationFolder) + QLatin1Char('/') + fileName();
}

QString integratedPath() { return integratedPath(QCoreApplication::applicationDirPath()); }

QString versionFromOutput(const QByteArray& output) {
  const QString text = QString::fromUtf8(output);
  if (text.split(QLatin1Char('.'), Qt::SkipEmptyParts).size() != 3) return QLatin1String(kNotSupported);
  // The answer ends with a line break, which is not part of the version.
  return text.trimmed();
}

QString versionAtPath(const QString& path) {
  const std::string file = QFile::encodeName(path).toStdString();
  if (!platform::pathExists(file)) return QLatin1String(kNotAvailable);
  const auto output = platform::captureOutput(file, {"--internal-version"}, 4096);
  if (!output) return QLatin1String(kNotAvailable);
  return versionFromOutput(QByteArray::fromStdString(*output));
}

QString feedAddress() {
  if (QCoreApplication* application = QCoreApplication::instance()) {
    const QVariant configured = application->property("QLBrambleRSS");
    if (configured.isValid()) return configured.toString();
  }
  return QStringLiteral(TARNIX_BRAMBLE_RSS);
}

bool feedIsSigned() { return !platform::HelperPlatformTable::current().toolKey.empty(); }

std::optional<QLBrambleFeed> parseFeed(const QByteArray& bytes) {
  const platform::Plist feed = platform::parseDictionary(std::string_view(bytes.constData(), bytes.size()));
  if (!feed) return std::nullopt;
  QLBrambleFeed parsed;
  if (auto version = platform::dictString(feed.get(), "Version")) parsed.version = QString::fromStdString(*version);
  if (auto url = platform::dictString(feed.get(), "URL")) parsed.url = QString::fromStdString(*url);
  return parsed;
}

}  // namespace tarnix::QLCommandLineTool
