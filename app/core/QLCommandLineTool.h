#pragma once
// The command-line edition of the repair tool as the Command Line Tools pane sees it: where
// each copy lives, the version a copy reports, and the remote feed that announces upgrades.
#include <QByteArray>
#include <QString>
#include <optional>

namespace tarnix::QLCommandLineTool {

// The installed copy, as the helper is asked to install and remove it.
inline constexpr char kLocalPath[] = "/usr/local/bin/Bramble";
// The tool's file name: the last component of kLocalPath.
QString fileName();

// kLocalPath on this machine's disk: under the helper's root prefix (TARNIX_ROOT_PREFIX) when
// one is set, as the helper's own installs are.
QString localFilePath();

// The copy carried by the application: beside the build when the application runs from a
// build tree, else in the application's installed folder of programs.
QString integratedPath();
// The same search starting from `applicationFolder`.
QString integratedPath(const QString& applicationFolder);

// Shown for a copy that is missing or cannot report, and for one whose answer is not of the
// form major.minor.patch.
inline constexpr char kNotAvailable[] = "N/A";
inline constexpr char kNotSupported[] = "N/S";

// Runs the file at `path` with "--internal-version" and waits for it: its version, "N/A" when
// there is no file there or it fails, "N/S" when its answer does not have three parts.
QString versionAtPath(const QString& path);
// The version shown for an answer the tool printed.
QString versionFromOutput(const QByteArray& output);

// The feed's address: the application's "QLBrambleRSS" property when one is set, else the
// address this build was configured with.
QString feedAddress();

// Whether a key to check the feed's archives with is built in (or given to the helper for
// tests, TARNIX_BRAMBLE_KEY): without one the helper installs no archive, so there is no upgrade.
bool feedIsSigned();

struct QLBrambleFeed {
  std::optional<QString> version;  // "Version"
  std::optional<QString> url;      // "URL", of a zip archive holding the tool under fileName()
};
// A property-list dictionary (XML or binary); nothing when the bytes are not one.
std::optional<QLBrambleFeed> parseFeed(const QByteArray& bytes);

}  // namespace tarnix::QLCommandLineTool
