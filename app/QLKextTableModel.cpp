#include "app/QLKextTableModel.h"

#include <QMimeData>
#include <QUrl>

#include "app/core/QLLocalization.h"
#include "app/presenter/QLInstallationPresenter.h"
#include "model/QLKernelExtensionsManager.h"

namespace tarnix {

std::string QLKextTableModel::kextPath(QString path) { return QLInstallationPresenter::kextPath(path.toStdString()); }

const QStringList& QLKextTableModel::columnIdentifiers() {
  static const QStringList identifiers{QStringLiteral("QLIDKextName"), QStringLiteral("QLIDKextPath"),
                                       QStringLiteral("QLIDKextVersion")};
  return identifiers;
}

QLKextTableModel::QLKextTableModel(QLKernelExtensionsManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {
  reloadData();
}

void QLKextTableModel::reloadData() {
  beginResetModel();
  rows_.clear();
  rows_.reserve(manager_.kextsTBI.size());
  for (const auto& kext : manager_.kextsTBI) {
    const auto version = kext.version();
    rows_.push_back({QString::fromStdString(kext.name()), QString::fromStdString(kext.path()),
                     version ? QString::fromStdString(*version) : QStringLiteral("N/A")});
  }
  endResetModel();
}

bool QLKextTableModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) return false;
  // Rows stand for the list as last read; a list changed since is not guessed at.
  if (manager_.kextsTBI.size() != rows_.size()) return false;
  beginRemoveRows(parent, row, row + count - 1);
  const auto first = static_cast<std::ptrdiff_t>(row);
  manager_.kextsTBI.erase(manager_.kextsTBI.begin() + first, manager_.kextsTBI.begin() + first + count);
  rows_.erase(rows_.begin() + first, rows_.begin() + first + count);
  endRemoveRows();
  return true;
}

int QLKextTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QLKextTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant QLKextTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (index.column()) {
    case QLIDKextName: return row.name;
    case QLIDKextPath: return row.path;
    case QLIDKextVersion: return row.version;
    default: return {};
  }
}

QVariant QLKextTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case QLIDKextName: return QLLocalizedString("kQLInstallationVCKextName");
    case QLIDKextPath: return QLLocalizedString("kQLInstallationVCKextPath");
    case QLIDKextVersion: return QLLocalizedString("kQLInstallationVCKextVersion");
    default: return {};
  }
}

Qt::ItemFlags QLKextTableModel::flags(const QModelIndex& index) const {
  // Drops land on the table as a whole, wherever they are released.
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
}

QStringList QLKextTableModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

bool QLKextTableModel::canDropMimeData(const QMimeData*, Qt::DropAction, int, int, const QModelIndex&) const {
  return true;
}

bool QLKextTableModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) {
  std::vector<std::string> paths;
  if (data)
    for (const QUrl& url : data->urls())
      if (url.isLocalFile()) paths.push_back(kextPath(url.toLocalFile()));
  manager_.addKextsFromPaths(paths);
  reloadData();
  return true;
}

}  // namespace tarnix
