#pragma once
// The application's support folder ("Tarnix" in the user's application-data location) and
// its "Kexts" (default kext backups) and "Updates" subfolders, computed once.
#include <QString>

namespace tarnix::QLSupportFolders {

const QString& supportFolder();
const QString& kextsFolder();
const QString& updatesFolder();

// Kexts, then Updates, with every missing parent. False when either cannot be made.
bool create();

}  // namespace tarnix::QLSupportFolders
