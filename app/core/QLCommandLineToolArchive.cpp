#include "app/core/QLCommandLineToolArchive.h"

#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <memory>
#include <vector>

namespace tarnix::QLCommandLineToolArchive {
namespace {

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
  void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

constexpr std::uint32_t kUnixFileTypeMask = 0170000;
constexpr std::uint32_t kUnixSymbolicLink = 0120000;

struct Entry {
  zip_uint64_t index;
  QString name;  // safe, relative
  bool folder;
  bool executable;
  bool link;
};

// The folder (beneath `root`) exists as a real folder, made where missing; false when a part of
// it is a link or a file.
bool makeRealFolders(const QString& root, const QString& relative) {
  QString path = root;
  for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    path += QLatin1Char('/') + part;
    const QFileInfo info(path);
    if (info.isSymLink()) return false;
    if (info.exists()) {
      if (!info.isDir()) return false;
      continue;
    }
    if (!QDir().mkdir(path)) return false;
  }
  return true;
}

QString parentOf(const QString& relative) {
  const auto slash = relative.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : relative.left(slash);
}

}  // namespace

std::optional<QString> safeEntryName(const QString& name) {
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0))) return std::nullopt;
  QStringList kept;
  for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String("..")) return std::nullopt;
    if (part != QLatin1String(".")) kept << part;
  }
  if (kept.isEmpty()) return std::nullopt;
  QString safe = kept.join(QLatin1Char('/'));
  if (name.endsWith(QLatin1Char('/'))) safe += QLatin1Char('/');
  return safe;
}

Outcome unpack(const QString& archivePath, const QString& folder, const QString& toolFileName,
               const std::function<void(double)>& progress) {
  Outcome outcome;
  int error = 0;
  std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY,
                                                         &error));
  if (!archive) {
    outcome.error = QStringLiteral("not a zip archive (libzip error %1)").arg(error);
    return outcome;
  }

  // Every name is judged before anything is written, so a tampered archive leaves no trace.
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  std::vector<Entry> entries;
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
      outcome.error = QStringLiteral("unreadable entry %1").arg(i);
      return outcome;
    }
    const QString raw = QString::fromUtf8(stat.name);
    const auto name = safeEntryName(raw);
    if (!name) {
      outcome.error = QStringLiteral("refused entry name \"%1\"").arg(raw);
      return outcome;
    }
    if (stat.valid & ZIP_STAT_SIZE) total += stat.size;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    zip_file_get_external_attributes(archive.get(), index, 0, &system, &attributes);
    const std::uint32_t mode = system == ZIP_OPSYS_UNIX ? attributes >> 16 : 0;
    entries.push_back({index, *name, name->endsWith(QLatin1Char('/')), (mode & 0111) != 0,
                       (mode & kUnixFileTypeMask) == kUnixSymbolicLink});
  }
  if (total > kMaximumUnpackedBytes) {
    outcome.error = QStringLiteral("the archive unpacks to more than %1 bytes").arg(kMaximumUnpackedBytes);
    return outcome;
  }

  std::uint64_t written = 0;
  for (std::size_t done = 0; done < entries.size(); ++done) {
    const Entry& entry = entries[done];
    if (progress) progress(static_cast<double>(done) / static_cast<double>(entries.size()));
    if (entry.folder) {
      if (!makeRealFolders(folder, entry.name)) {
        outcome.error = QStringLiteral("cannot make folder \"%1\"").arg(entry.name);
        return outcome;
      }
      continue;
    }
    // A link entry is unpacked as the plain file it describes: nothing here is made to point
    // elsewhere.
    if (!makeRealFolders(folder, parentOf(entry.name))) {
      outcome.error = QStringLiteral("cannot make the folder of \"%1\"").arg(entry.name);
      return outcome;
    }
    const QString target = folder + QLatin1Char('/') + entry.name;
    const QFileInfo existing(target);
    if (existing.isDir() && !existing.isSymLink()) {
      outcome.error = QStringLiteral("a folder is in the way of \"%1\"").arg(entry.name);
      return outcome;
    }
    if ((existing.exists() || existing.isSymLink()) && !QFile::remove(target)) {
      outcome.error = QStringLiteral("cannot replace \"%1\"").arg(entry.name);
      return outcome;
    }
    std::unique_ptr<zip_file_t, EntryCloser> source(zip_fopen_index(archive.get(), entry.index, 0));
    QFile out(target);
    // NewOnly creates the file exclusively, so a link made in the meantime is not followed.
    if (!source || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      outcome.error = QStringLiteral("cannot unpack \"%1\"").arg(entry.name);
      return outcome;
    }
    char buffer[64 * 1024];
    for (;;) {
      const zip_int64_t got = zip_fread(source.get(), buffer, sizeof buffer);
      if (got < 0) {
        outcome.error = QStringLiteral("damaged entry \"%1\"").arg(entry.name);
        return outcome;
      }
      if (got == 0) break;
      written += static_cast<std::uint64_t>(got);
      // The sizes in the directory may lie; the bytes actually written are what count.
      if (written > kMaximumUnpackedBytes || out.write(buffer, got) != got) {
        outcome.error = QStringLiteral("cannot write \"%1\"").arg(entry.name);
        return outcome;
      }
    }
    QFileDevice::Permissions permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (entry.executable && !entry.link)
      permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    if (!out.setPermissions(permissions) || !out.flush()) {
      outcome.error = QStringLiteral("cannot finish \"%1\"").arg(entry.name);
      return outcome;
    }
    out.close();
    if (entry.name == toolFileName && !entry.link) outcome.toolPath = target;
  }
  if (progress) progress(1.0);
  if (!outcome.toolPath) outcome.error = QStringLiteral("the archive holds no \"%1\"").arg(toolFileName);
  return outcome;
}

}  // namespace tarnix::QLCommandLineToolArchive
