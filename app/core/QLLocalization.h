#pragma once
// The application's string table: Qt id-based translations whose ids are the kQL keys (and,
// for the reasons and statuses of repair results, their English texts).
#include <QString>
#include <QStringList>
#include <string_view>

class QCoreApplication;

namespace tarnix {

// Loads the compiled English table (and the system language's, when there is one) into the
// application, and routes the engine's texts through it. False when the table is missing.
bool QLInstallStringTable(QCoreApplication& application);

// The text of `key`; the key itself when the table has none.
QString QLLocalizedString(std::string_view key);
// The text of `key`, or `fallback` when the table has none.
QString QLLocalizedString(std::string_view key, std::string_view fallback);
// Whether the installed English table has a text for `key`.
bool QLHasLocalizedString(std::string_view key);

}  // namespace tarnix
