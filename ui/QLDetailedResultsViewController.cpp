#include "ui/QLDetailedResultsViewController.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include "app/core/QLLocalization.h"

namespace tarnix {

QLDetailedResultsViewController::QLDetailedResultsViewController(std::shared_ptr<QLDetailedRepresentableResult> result,
                                                                 QWidget* parent)
    : QDialog(parent), model_(new QLDetailedResultsTableModel(this)) {
  setObjectName(QStringLiteral("QLDetailedResultsViewController"));
  setWindowTitle(QLLocalizedString("kQLDetailedResultsVCReport"));
  setSizeGripEnabled(true);
  model_->setResult(std::move(result));

  imageView = new QLabel(this);
  titleField = new QLabel(this);
  QFont titleFont = titleField->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
  titleField->setFont(titleFont);
  descriptionField = new QLabel(this);
  descriptionField->setWordWrap(true);
  outletBoxRepairPermissionsResults =
      new QGroupBox(QLLocalizedString("kQLDetailedResultsVCRepairPermissionsResults"), this);
  outletResultsTableView = new QTableView(outletBoxRepairPermissionsResults);
  outletResultsTableView->setModel(model_);
  outletResultsTableView->setSelectionMode(QAbstractItemView::NoSelection);
  outletResultsTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  outletResultsTableView->setSortingEnabled(false);
  outletResultsTableView->verticalHeader()->hide();
  outletResultsTableView->setWordWrap(false);
  // Scrolled from the keyboard too (arrows, Page Up and Down, Home, End); long paths lose
  // their middle, and the whole path is the cell's tooltip.
  outletResultsTableView->setFocusPolicy(Qt::StrongFocus);
  outletResultsTableView->setTextElideMode(Qt::ElideMiddle);
  // Widths from the first rows only, once: measuring every row of a large repair would hold
  // the GUI thread for seconds.
  outletResultsTableView->horizontalHeader()->setResizeContentsPrecision(100);
  outletResultsTableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  outletResultsTableView->verticalHeader()->setDefaultSectionSize(
      outletResultsTableView->verticalHeader()->minimumSectionSize() + 6);
  outletResultsTableView->resizeColumnsToContents();
  // The path takes what the other columns leave, so that the values and the status stay in
  // view at the window's size.
  outletResultsTableView->horizontalHeader()->setStretchLastSection(false);
  outletResultsTableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  // Home and End go to the first and last row, not the row's first and last cell.
  for (const auto& [key, go] : {std::pair{Qt::Key_Home, &QAbstractItemView::scrollToTop},
                                std::pair{Qt::Key_End, &QAbstractItemView::scrollToBottom}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), outletResultsTableView);
    shortcut->setContext(Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, outletResultsTableView, go);
  }
  outletButtonOK = new QPushButton(QLLocalizedString("kQLDetailedResultsVCOK"), this);
  outletButtonOK->setDefault(true);
  connect(outletButtonOK, &QPushButton::clicked, this, &QLDetailedResultsViewController::actionButtonOK);

  if (const auto& shown = model_->result()) {
    if (!shown->image.isEmpty())
      imageView->setPixmap(QIcon(QStringLiteral(":/images/%1.svg").arg(shown->image)).pixmap(64, 64));
    titleField->setText(shown->title);
    descriptionField->setText(shown->description);
  }

  auto* header = new QHBoxLayout;
  auto* texts = new QVBoxLayout;
  texts->addWidget(titleField);
  texts->addWidget(descriptionField);
  texts->addStretch();
  header->addWidget(imageView, 0, Qt::AlignTop);
  header->addLayout(texts, 1);
  auto* boxLayout = new QVBoxLayout(outletBoxRepairPermissionsResults);
  boxLayout->addWidget(outletResultsTableView);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(outletButtonOK);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(header);
  layout->addWidget(outletBoxRepairPermissionsResults, 1);
  layout->addLayout(buttons);
  resize(860, 520);
}

void QLDetailedResultsViewController::actionButtonOK() {
  model_->clear();
  accept();
}

}  // namespace tarnix
