#pragma once
// The rows of the detailed results window: one per result, in the order given, six read-only
// columns found by identifier.
#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

#include "app/core/QLDetailedRepresentableResult.h"

namespace tarnix {

class QLDetailedResultsTableModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  // "QLIDPath", "QLIDReason", "QLIDCurrentValue", "QLIDCorrectValue", "QLIDNewValue", "QLIDStatus".
  static const QStringList& columnIdentifiers();
  // The localization key of a column's title; empty for an unknown identifier.
  static const char* titleKey(const QString& identifier);
  // The cell text of a result under a column identifier; empty for an unknown identifier.
  static QString cellText(const QLRepairPermissionsRepresentableResult& result, const QString& identifier);
  // The localized reason or status; a text the helper never sends is shown as it came.
  static QString reasonText(const std::string& english);
  static QString statusText(const std::string& english);

  explicit QLDetailedResultsTableModel(QObject* parent = nullptr);

  void setResult(std::shared_ptr<QLDetailedRepresentableResult> result);
  const std::shared_ptr<QLDetailedRepresentableResult>& result() const { return result_; }
  // Empties the shared result's list (the pane may still hold it) and forgets it.
  void clear();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::shared_ptr<QLDetailedRepresentableResult> result_;
};

}  // namespace tarnix
