#pragma once
// Small fixtures of the EZ installer's tests: a macOS-shaped folder, kext bundles, files.
#include <QDir>
#include <QFile>
#include <QString>

namespace tarnix::ezinstaller::test {

inline bool writeText(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Just enough of a system volume to be taken as one; with "System/Installation" it is a
// recovery system.
inline bool makeMacVolume(const QString& root, bool recovery = false) {
  if (recovery && !QDir().mkpath(root + "/System/Installation")) return false;
  return writeText(root + "/System/Library/CoreServices/SystemVersion.plist",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                   "<key>ProductName</key><string>Mac OS X</string>"
                   "<key>ProductVersion</key><string>10.13.6</string>"
                   "<key>ProductBuildVersion</key><string>17G65</string></dict></plist>\n");
}

// A kext bundle whose executable holds `marker`, so a test can tell copies apart.
inline QString makeKext(const QString& folder, const QString& name, const QByteArray& marker = "new") {
  const QString bundle = folder + "/" + name;
  writeText(bundle + "/Contents/Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>CFBundleVersion</key><string>1.0</string></dict></plist>\n");
  writeText(bundle + "/Contents/MacOS/binary", marker);
  return bundle;
}

// A smart table file in the shape the application writes.
inline QByteArray smartTable(const QString& version, const QList<QPair<QString, QString>>& contents,
                             bool withContents = true) {
  QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
  if (!version.isNull()) xml += "<key>Version</key><string>" + version.toUtf8() + "</string>";
  if (withContents) {
    xml += "<key>Contents</key><dict>";
    for (const auto& [name, folder] : contents)
      xml += "<key>" + name.toUtf8() + "</key><string>" + folder.toUtf8() + "</string>";
    xml += "</dict>";
  }
  return xml + "</dict></plist>\n";
}

}  // namespace tarnix::ezinstaller::test
