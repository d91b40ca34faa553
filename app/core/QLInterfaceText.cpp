#include "app/core/QLInterfaceText.h"

#include <QLocale>

namespace tarnix::QLInterfaceText {

QString pathFromURLString(const QString& absoluteString) {
  QString path = absoluteString.mid(7);
  return path.replace(QStringLiteral("%20"), QStringLiteral(" "));
}

QString dateText(const QDateTime& date) {
  return QLocale().toString(date.toLocalTime(), QStringLiteral("yyyy.MM.dd HH:mm:ss"));
}

QString fileNameDateText(const QDateTime& date) {
  QString text = dateText(date);
  for (const QChar c : {QLatin1Char(' '), QLatin1Char('.'), QLatin1Char(':')}) text.replace(c, QLatin1Char('_'));
  return text;
}

}  // namespace tarnix::QLInterfaceText
