#include "app/QLMainAboutViewController.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/core/QLLocalization.h"

namespace tarnix {

QLMainAboutViewController::QLMainAboutViewController(QWidget* parent) : QLMainAbstractViewController(parent) {
  setObjectName(QLatin1String(kIdentifier));
  outletFieldVersion = new QLabel(this);
  outletFieldDeveloper = new QLabel(this);
  outletFieldCompatibility = new QLabel(this);
  outletFieldCompatibility->setWordWrap(true);
  outletFieldCompatibility->setAlignment(Qt::AlignHCenter);
  outletButtonClose = new QPushButton(this);
  outletButtonVisitWebPage = new QPushButton(this);
  pathField->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(outletButtonVisitWebPage);
  buttons->addWidget(outletButtonClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(imageButton, 0, Qt::AlignHCenter);
  layout->addWidget(mainTitle, 0, Qt::AlignHCenter);
  layout->addWidget(outletFieldVersion, 0, Qt::AlignHCenter);
  layout->addWidget(outletFieldDeveloper, 0, Qt::AlignHCenter);
  layout->addWidget(outletFieldCompatibility);
  layout->addWidget(circularIndicator, 0, Qt::AlignHCenter);
  layout->addLayout(buttons);
  setMinimumWidth(420);
  connect(outletButtonClose, &QPushButton::clicked, this, [this] { window()->close(); });
  connect(outletButtonVisitWebPage, &QPushButton::clicked, this,
          [] { QDesktopServices::openUrl(QUrl(QLatin1String(kMakerWebPage))); });
}

void QLMainAboutViewController::viewDidLoad() {
  QLMainAbstractViewController::viewDidLoad();
  setWindowTitle(QLLocalizedString("kQLMainAboutVCTitle"));
  imageButton->setIcon(QIcon(QStringLiteral(":/images/tarnix.svg")));
  mainTitle->setText(QStringLiteral("Tarnix"));
  outletFieldVersion->setText(QLLocalizedString("kQLMainAboutVCVersion") + QStringLiteral(TARNIX_VERSION));
  outletFieldDeveloper->setText(QLLocalizedString("kQLMainAboutVCDeveloperInfo"));
  outletFieldCompatibility->setText(QLLocalizedString("kQLMainAboutVCCompatibility"));
  outletButtonClose->setText(QLLocalizedString("kQLMainAboutVCClose"));
  outletButtonVisitWebPage->setText(QLLocalizedString("kQLMainAboutVCVisitQuillonPl"));
}

}  // namespace tarnix
