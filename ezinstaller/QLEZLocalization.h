#pragma once
// The installer's own string table, laid over the shared one of the main application: texts
// of both are found through QLLocalizedString.
#include <string_view>

class QCoreApplication;

namespace tarnix::ezinstaller {

// The shared table, then the installer's (consulted first). False when either is missing.
bool QLEZInstallStringTables(QCoreApplication& application);
// Whether one of the two English tables has a text for `key`.
bool QLEZHasLocalizedString(std::string_view key);

}  // namespace tarnix::ezinstaller
