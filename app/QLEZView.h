#pragma once
// The EZ installation overlay's parts: the drop target, which draws the "QLUITransparentEZ"
// picture and announces every drop of local files, and the rounded box over it.
#include <QColor>
#include <QFrame>
#include <QPixmap>
#include <QWidget>

namespace tarnix {

inline constexpr const char* kQLNotificationEZDidDragOperation = "local.quillon.tarnix.ez.didDragOperation";

class QLEZView : public QWidget {
  Q_OBJECT
 public:
  explicit QLEZView(QWidget* parent = nullptr);

  // The picture drawn behind everything else; the kext picture is the "kext" element of the
  // same document, drawn by the overlay's image view.
  static QPixmap kextImage(const QSize& size);

  // Blurs the picture only, not the widgets laid over it (0: sharp).
  void setBackgroundBlurRadius(qreal radius);
  qreal backgroundBlurRadius() const { return blurRadius_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Any drag of local files is offered a copy. A drop posts
  // "local.quillon.tarnix.ez.didDragOperation" with the dropped paths (a QStringList): the
  // drag's own data is gone once the drop returns.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QPixmap picture(const QSize& size);
  qreal blurRadius_ = 0;
  QPixmap cached_;
  qreal cachedRadius_ = -1;
};

// A box with rounded corners (radius 8) and a fill that may be clear.
class QLEZBox final : public QFrame {
  Q_OBJECT
 public:
  explicit QLEZBox(QWidget* parent = nullptr);
  void setFillColor(const QColor& color);
  QColor fillColor() const { return fill_; }
  static constexpr qreal kCornerRadius = 8.0;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_ = Qt::transparent;
};

}  // namespace tarnix
