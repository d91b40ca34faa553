#pragma once
// The text conversions every pane uses.
#include <QDateTime>
#include <QString>

namespace tarnix::QLInterfaceText {

// A file URL's absolute string without its first seven characters ("file://"), with every
// "%20" turned into a blank; no other escape is decoded. A trailing "/" stays.
QString pathFromURLString(const QString& absoluteString);

// "yyyy.MM.dd HH:mm:ss" in the current locale and time zone.
QString dateText(const QDateTime& date);
// The same with " ", "." and ":" replaced by "_", for file names.
QString fileNameDateText(const QDateTime& date);

inline QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

}  // namespace tarnix::QLInterfaceText
