#include "app/core/QLDetailedResultsTableModel.h"

#include <array>

#include "app/core/QLLocalization.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

struct Column {
  const char* identifier;
  const char* titleKey;
};
constexpr std::array<Column, 6> kColumns{{
    {"QLIDPath", "kQLDetailedResultsVCPath"},
    {"QLIDReason", "kQLDetailedResultsVCReason"},
    {"QLIDCurrentValue", "kQLDetailedResultsVCCurrentValue"},
    {"QLIDCorrectValue", "kQLDetailedResultsVCCorrectValue"},
    {"QLIDNewValue", "kQLDetailedResultsVCNewValue"},
    {"QLIDStatus", "kQLDetailedResultsVCFileStatus"},
}};

constexpr std::array<const char*, 3> kReasons{"Owner ID Mismatched", "Group ID Mismatched",
                                              "POSIX Permissions Mismatched"};
constexpr std::array<const char*, 3> kStatuses{"Verified", "Fixed", "Failed"};

template <std::size_t N>
QString acceptedText(const std::array<const char*, N>& accepted, const std::string& english) {
  for (const char* known : accepted)
    if (english == known) return QLLocalizedString(english);
  // Only another build of the helper could send this: say so and show it rather than end
  // the application over one cell.
  platform::diagnostic("QLDetailedResultsVC::cellText()", "Unexpected text from the helper: " + english);
  return QString::fromStdString(english);
}

}  // namespace

const QStringList& QLDetailedResultsTableModel::columnIdentifiers() {
  static const QStringList identifiers = [] {
    QStringList list;
    for (const auto& column : kColumns) list << QLatin1String(column.identifier);
    return list;
  }();
  return identifiers;
}

const char* QLDetailedResultsTableModel::titleKey(const QString& identifier) {
  for (const auto& column : kColumns)
    if (identifier == QLatin1String(column.identifier)) return column.titleKey;
  return "";
}

QString QLDetailedResultsTableModel::reasonText(const std::string& english) { return acceptedText(kReasons, english); }
QString QLDetailedResultsTableModel::statusText(const std::string& english) { return acceptedText(kStatuses, english); }

QString QLDetailedResultsTableModel::cellText(const QLRepairPermissionsRepresentableResult& result,
                                              const QString& identifier) {
  if (identifier == QLatin1String("QLIDPath")) return QString::fromStdString(result.fileSystemResourcePath);
  if (identifier == QLatin1String("QLIDReason")) return reasonText(result.attributeMismatchedTypeString);
  // Plain decimal, no grouping: permission digits 755 read 755.
  if (identifier == QLatin1String("QLIDCurrentValue")) return QString::number(result.currentAttribute);
  if (identifier == QLatin1String("QLIDCorrectValue")) return QString::number(result.correctAttribute);
  if (identifier == QLatin1String("QLIDNewValue")) return QString::number(result.newAttribute);
  if (identifier == QLatin1String("QLIDStatus")) return statusText(result.attributeStatusString);
  return {};
}

QLDetailedResultsTableModel::QLDetailedResultsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void QLDetailedResultsTableModel::setResult(std::shared_ptr<QLDetailedRepresentableResult> result) {
  beginResetModel();
  result_ = std::move(result);
  endResetModel();
}

void QLDetailedResultsTableModel::clear() {
  beginResetModel();
  if (result_) result_->results.clear();
  result_.reset();
  endResetModel();
}

int QLDetailedResultsTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !result_) return 0;
  return static_cast<int>(result_->results.size());
}

int QLDetailedResultsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant QLDetailedResultsTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || !result_) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const auto& row = result_->results[static_cast<std::size_t>(index.row())];
  return cellText(row, columnIdentifiers().at(index.column()));
}

QVariant QLDetailedResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return QLLocalizedString(kColumns[static_cast<std::size_t>(section)].titleKey);
  if (role == Qt::UserRole) return columnIdentifiers().at(section);
  return {};
}

}  // namespace tarnix
