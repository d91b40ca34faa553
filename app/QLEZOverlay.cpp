#include "app/QLEZOverlay.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/QLLocalization.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {
namespace {

// On the dark box: a white bar on a faint groove, whatever colours the theme gives progress
// bars, so the value reads in light and dark themes alike.
constexpr const char* kIndicatorOnDarkBox =
    "QProgressBar { border: 1px solid rgba(255, 255, 255, 170); border-radius: 4px;"
    " background: rgba(255, 255, 255, 40); min-height: 10px; max-height: 10px; }"
    "QProgressBar::chunk { background: white; border-radius: 3px; }";

void setStatusLook(QLabel* field, const QColor& colour, bool bold) {
  QPalette palette = field->palette();
  palette.setColor(QPalette::WindowText, colour);
  field->setPalette(palette);
  QFont font = QApplication::font();
  font.setPointSizeF(14);
  if (bold) font.setWeight(QFont::Bold);
  field->setFont(font);
}

}  // namespace

QLEZOverlay::QLEZOverlay(QWidget* parent)
    : QLEZView(parent),
      backgroundBox_(new QLEZBox(this)),
      kextImageView_(new QLabel(backgroundBox_)),
      circularIndicator_(new QProgressBar(backgroundBox_)),
      statusField_(new QLabel(backgroundBox_)),
      animationTimer_(new QTimer(this)) {
  kextImageView_->setObjectName(QStringLiteral("outletEZKextImageView"));
  kextImageView_->setPixmap(kextImage(QSize(112, 104)));
  kextImageView_->setAlignment(Qt::AlignCenter);
  circularIndicator_->setObjectName(QStringLiteral("outletEZCircularIndicator"));
  circularIndicator_->setTextVisible(false);
  circularIndicator_->setFixedWidth(180);
  statusField_->setObjectName(QStringLiteral("outletEZStatusField"));
  statusField_->setAlignment(Qt::AlignCenter);
  statusField_->setWordWrap(true);
  auto* box = new QVBoxLayout(backgroundBox_);
  box->addStretch();
  box->addWidget(kextImageView_, 0, Qt::AlignHCenter);
  box->addWidget(circularIndicator_, 0, Qt::AlignHCenter);
  box->addWidget(statusField_);
  box->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(backgroundBox_);

  animationTimer_->setInterval(kAnimationIntervalMs);
  connect(animationTimer_, &QTimer::timeout, this, &QLEZOverlay::performAnimation);
}

void QLEZOverlay::showIdleLook() {
  kextImageView_->show();
  circularIndicator_->setStyleSheet(QString());
  backgroundBox_->setFillColor(Qt::transparent);
  setBackgroundBlurRadius(0);
  setStatusLook(statusField_, Qt::black, false);
}

void QLEZOverlay::showPreparingLook() {
  kextImageView_->hide();
  QLInterfaceHelpers::start(circularIndicator_);
  setBackgroundBlurRadius(1.5);
}

void QLEZOverlay::showRunningLook() {
  circularIndicator_->setStyleSheet(QLatin1String(kIndicatorOnDarkBox));
  setStatusLook(statusField_, Qt::white, true);
  backgroundBox_->setFillColor(QColor(0, 0, 0, 128));
}

void QLEZOverlay::stopAnimation() {
  ++animationGeneration_;
  for (auto* animation : statusField_->findChildren<QPropertyAnimation*>()) animation->stop();
  if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(statusField_->graphicsEffect())) effect->setOpacity(1.0);
  animationTimer_->stop();
}

void QLEZOverlay::performAnimation() {
  const int generation = animationGeneration_;
  QLabel* field = statusField_;
  const double fade = kFadeMs / 1000.0;
  auto alive = [this, generation] { return generation == animationGeneration_; };
  QLInterfaceHelpers::fadeOut(field, fade, [=] {
    if (!alive()) return;
    field->setText(QLLocalizedString("kQLInstallationVCEZModeEnabled"));
    QLInterfaceHelpers::fadeIn(field, fade, [=] {
      if (!alive()) return;
      QLInterfaceHelpers::fadeOut(field, fade, [=] {
        if (!alive()) return;
        field->setText(QLLocalizedString("kQLInstallationVCDrag2Install"));
        QLInterfaceHelpers::fadeIn(field, fade);
      });
    });
  });
}

}  // namespace tarnix
