#pragma once
// The detailed results window: the run's picture, title and description over a read-only
// table of its per-file results. OK empties the results and closes the window.
#include <QDialog>
#include <memory>

#include "app/core/QLDetailedResultsTableModel.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;

namespace tarnix {

class QLDetailedResultsViewController final : public QDialog {
  Q_OBJECT
 public:
  // `result` must be set: the window is only opened for a run that has one.
  QLDetailedResultsViewController(std::shared_ptr<QLDetailedRepresentableResult> result, QWidget* parent = nullptr);

  const std::shared_ptr<QLDetailedRepresentableResult>& result() const { return model_->result(); }
  QLDetailedResultsTableModel* model() const { return model_; }

  QLabel* imageView = nullptr;
  QLabel* titleField = nullptr;
  QLabel* descriptionField = nullptr;
  QGroupBox* outletBoxRepairPermissionsResults = nullptr;
  QTableView* outletResultsTableView = nullptr;
  QPushButton* outletButtonOK = nullptr;

 public slots:
  void actionButtonOK();

 private:
  QLDetailedResultsTableModel* model_;
};

}  // namespace tarnix
