#include "ezinstaller/QLEZInstallerBackdrop.h"

#include <QEvent>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace tarnix::ezinstaller {
namespace {

// Draws what it covers with its colours inverted: the indicator stays visible on the dark
// background.
class QLInvertEffect final : public QGraphicsEffect {
 public:
  using QGraphicsEffect::QGraphicsEffect;

 protected:
  void draw(QPainter* painter) override {
    QPoint offset;
    QImage image = sourcePixmap(Qt::LogicalCoordinates, &offset).toImage();
    image.invertPixels(QImage::InvertRgb);
    painter->drawImage(offset, image);
  }
};

}  // namespace

QLEZInstallerBackdrop::QLEZInstallerBackdrop(QWidget* pane) : QWidget(pane) {
  setObjectName(QStringLiteral("outletVisualEffectView"));
  setAutoFillBackground(true);
  lower();
  pane->installEventFilter(this);
}

void QLEZInstallerBackdrop::applyAppearance(bool dark, std::initializer_list<QLabel*> texts, QProgressBar* indicator) {
  QPalette background = palette();
  background.setColor(QPalette::Window, dark ? QColor(0, 0, 0, 210) : QColor(255, 255, 255, 200));
  setPalette(background);
  for (QLabel* text : texts) {
    QPalette colours = text->palette();
    colours.setColor(QPalette::WindowText, dark ? Qt::white : QColor(0x20, 0x20, 0x20));
    text->setPalette(colours);
  }
  indicator->setGraphicsEffect(dark ? new QLInvertEffect(indicator) : nullptr);
}

bool QLEZInstallerBackdrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarnix::ezinstaller
