#include "ui/QLMainAbstractViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/QLInterfaceHelpers.h"

namespace tarnix {

QLMainAbstractViewController::QLMainAbstractViewController(QWidget* parent) : QWidget(parent) {
  imageButton = new QToolButton(this);
  imageButton->setObjectName(QStringLiteral("imageButton"));
  imageButton->setIconSize(QSize(96, 96));
  imageButton->setAutoRaise(true);
  mainTitle = new QLabel(this);
  mainTitle->setObjectName(QStringLiteral("mainTitle"));
  QFont titleFont = mainTitle->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
  titleFont.setBold(true);
  mainTitle->setFont(titleFont);
  pathField = new QLabel(this);
  pathField->setObjectName(QStringLiteral("pathField"));
  pathField->setTextInteractionFlags(Qt::TextSelectableByMouse);
  circularIndicator = new QProgressBar(this);
  circularIndicator->setObjectName(QStringLiteral("circularIndicator"));
  circularIndicator->setTextVisible(false);
  circularIndicator->setMaximumWidth(160);
}

void QLMainAbstractViewController::loadView() {
  if (loaded_) return;
  loaded_ = true;
  viewDidLoad();
}

void QLMainAbstractViewController::viewDidLoad() { QLInterfaceHelpers::stop(circularIndicator); }

void QLMainAbstractViewController::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window's size is its own: a pane switch must not undo what the user made of it.
  if (QWidget* host = window(); host != this) {
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255, 230));
    host->setPalette(palette);
  }
}

QHBoxLayout* QLMainAbstractViewController::headerLayout(QWidget* extraLine) {
  auto* texts = new QVBoxLayout;
  texts->addWidget(mainTitle);
  texts->addWidget(pathField);
  if (extraLine) texts->addWidget(extraLine);
  texts->addStretch();
  auto* header = new QHBoxLayout;
  header->addWidget(imageButton, 0, Qt::AlignTop);
  header->addLayout(texts, 1);
  return header;
}

}  // namespace tarnix
