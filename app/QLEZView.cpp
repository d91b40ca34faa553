#include "app/QLEZView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGraphicsBlurEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include "app/core/QLNotificationCenter.h"
#include "ui/QLInterfaceHelpers.h"

namespace tarnix {
namespace {

const QString kPicture = QStringLiteral(":/images/QLUITransparentEZ.svg");

QPixmap blurred(const QPixmap& source, qreal radius) {
  QGraphicsScene scene;
  auto* item = scene.addPixmap(source);
  auto* blur = new QGraphicsBlurEffect;
  blur->setBlurRadius(radius);
  item->setGraphicsEffect(blur);
  QImage out(source.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  scene.render(&painter, QRectF(), QRectF(QPointF(0, 0), QSizeF(source.size())));
  painter.end();
  return QPixmap::fromImage(out);
}

}  // namespace

QLEZView::QLEZView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("outletEZView"));
  setMinimumSize(320, 200);
}

QPixmap QLEZView::kextImage(const QSize& size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(kPicture);
  const QSizeF bounds = renderer.boundsOnElement(QStringLiteral("kext")).size();
  if (bounds.isEmpty()) return pixmap;
  const QSizeF fitted = bounds.scaled(QSizeF(size), Qt::KeepAspectRatio);
  const QPointF origin((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QStringLiteral("kext"), QRectF(origin, fitted));
  return pixmap;
}

void QLEZView::setBackgroundBlurRadius(qreal radius) {
  if (qFuzzyCompare(radius + 1, blurRadius_ + 1)) return;
  blurRadius_ = radius;
  update();
}

QPixmap QLEZView::picture(const QSize& size) {
  if (cached_.size() == size && qFuzzyCompare(cachedRadius_ + 1, blurRadius_ + 1)) return cached_;
  QPixmap sharp(size);
  sharp.fill(Qt::transparent);
  {
    QSvgRenderer renderer(kPicture);
    QPainter painter(&sharp);
    // The document's view box holds the drop frame; the kext element lies outside it.
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  }
  cached_ = blurRadius_ > 0 ? blurred(sharp, blurRadius_) : sharp;
  cachedRadius_ = blurRadius_;
  return cached_;
}

void QLEZView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture(size()));
}

void QLEZView::dragEnterEvent(QDragEnterEvent* event) {
  if (!acceptDrops() || QLInterfaceHelpers::localPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QLEZView::dragMoveEvent(QDragMoveEvent* event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QLEZView::dropEvent(QDropEvent* event) {
  // Events sent straight to the widget skip the platform's acceptDrops check.
  if (!acceptDrops()) return event->ignore();
  const QStringList paths = QLInterfaceHelpers::localPaths(event->mimeData());
  event->setDropAction(Qt::CopyAction);
  event->accept();
  QLNotificationCenter::defaultCenter().post(QLatin1String(kQLNotificationEZDidDragOperation), paths);
}

QLEZBox::QLEZBox(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("outletEZBackgroundBox"));
  setFrameShape(QFrame::NoFrame);
}

void QLEZBox::setFillColor(const QColor& color) {
  fill_ = color;
  update();
}

void QLEZBox::paintEvent(QPaintEvent*) {
  if (fill_.alpha() == 0) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
  painter.fillPath(path, fill_);
}

}  // namespace tarnix
