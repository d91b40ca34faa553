#include "app/QLPlaceholderViewController.h"

#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/core/QLLocalization.h"

namespace tarnix {

QLPlaceholderViewController::QLPlaceholderViewController(const QString& identifier, const QString& title,
                                                         QWidget* parent)
    : QLMainAbstractViewController(parent) {
  setObjectName(identifier);
  imageButton->setIcon(QIcon(QStringLiteral(":/images/tarnix.svg")));
  imageButton->setEnabled(false);
  mainTitle->setText(title);
  pathField->setText(QLLocalizedString("kQLMainPlaceholderVCNotYetAvailable"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(imageButton, 0, Qt::AlignHCenter);
  layout->addWidget(mainTitle, 0, Qt::AlignHCenter);
  layout->addWidget(pathField, 0, Qt::AlignHCenter);
  layout->addWidget(circularIndicator, 0, Qt::AlignHCenter);
  setMinimumSize(560, 320);
}

}  // namespace tarnix
