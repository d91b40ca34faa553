#pragma once
// The Installation pane's kext table: one row per kext to be installed, in list order, with
// its name, path and version ("N/A" without one). Also the table's drop target: file drops
// are added to the list.
#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

namespace tarnix {

class QLKernelExtensionsManager;

class QLKextTableModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { QLIDKextName, QLIDKextPath, QLIDKextVersion, ColumnCount };
  // The columns' identifiers, in column order.
  static const QStringList& columnIdentifiers();
  // A chosen or dropped bundle's path without trailing slashes.
  static std::string kextPath(QString path);

  explicit QLKextTableModel(QLKernelExtensionsManager& manager, QObject* parent = nullptr);

  // Reads the manager's list again (versions are read from the bundles here, once).
  void reloadData();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Takes the kexts of the rows off the manager's list.
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

  // Any drop is offered a copy; the dropped local files that are kexts join the list.
  QStringList mimeTypes() const override;
  Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 private:
  struct Row {
    QString name, path, version;
  };
  QLKernelExtensionsManager& manager_;
  std::vector<Row> rows_;
};

}  // namespace tarnix
