#pragma once
// Makes the panes by identifier, as the window's toolbar items name them.
#include <QString>
#include <QStringList>

namespace tarnix {

class QLMainAbstractViewController;

namespace QLPaneFactory {

inline constexpr const char* kQLSBIDMaintenance = "QLSBIDMaintenance";
inline constexpr const char* kQLSBIDInstallation = "QLSBIDInstallation";
inline constexpr const char* kQLSBIDSIPConfig = "QLSBIDSIPConfig";
inline constexpr const char* kQLSBIDBooterConfig = "QLSBIDBooterConfig";
inline constexpr const char* kQLSBIDCommandLineTools = "QLSBIDCommandLineTools";
inline constexpr const char* kQLSBIDPreferences = "QLSBIDPreferences";
inline constexpr const char* kQLSBIDAbout = "QLSBIDAbout";

// The five toolbar panes in toolbar order.
const QStringList& toolbarIdentifiers();
// The localization key of a toolbar pane's label.
const char* labelKey(const QString& identifier);

// A loaded pane, or null for an identifier no pane has. Panes not built yet are placeholders.
QLMainAbstractViewController* instantiate(const QString& identifier);

}  // namespace QLPaneFactory
}  // namespace tarnix
