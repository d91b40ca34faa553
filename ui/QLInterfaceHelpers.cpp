#include "ui/QLInterfaceHelpers.h"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace tarnix::QLInterfaceHelpers {
namespace {

constexpr const char* kWaiting = "tarnixAlertWaits";

// The last alert over `window`, open or waiting for its turn, when there is one.
QMessageBox* lastAlertOver(QWidget* window) {
  const auto boxes = window->findChildren<QMessageBox*>();
  for (auto it = boxes.rbegin(); it != boxes.rend(); ++it)
    if ((*it)->windowModality() == Qt::WindowModal && ((*it)->isVisible() || (*it)->property(kWaiting).toBool()))
      return *it;
  return nullptr;
}

QMessageBox* alert(QMessageBox::Icon icon, QWidget* parent, const QString& message, const QString& contents,
                   std::function<void()> done) {
  auto* box = new QMessageBox(icon, windowTitle(), message, QMessageBox::Ok, parent);
  box->setInformativeText(contents);
  box->setAttribute(Qt::WA_DeleteOnClose);
  if (!parent) {
    box->exec();
    if (done) done();
    return nullptr;
  }
  box->setWindowModality(Qt::WindowModal);
  QObject::connect(box, &QMessageBox::finished, box, [done = std::move(done)](int) {
    if (done) done();
  });
  // One alert at a time over a window: a second one opened under the first would be hidden
  // by it, so it waits until the first is dismissed.
  if (QMessageBox* before = lastAlertOver(parent->window()); before && before != box) {
    box->setProperty(kWaiting, true);
    QPointer<QMessageBox> next(box);
    QObject::connect(before, &QMessageBox::finished, box, [next](int) {
      if (!next) return;
      next->setProperty(kWaiting, false);
      next->open();
    });
    return box;
  }
  box->open();
  return box;
}

void fade(QWidget* view, double seconds, double to, std::function<void()> completion) {
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
  if (!effect) {
    effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(to > 0.5 ? 0.0 : 1.0);
    view->setGraphicsEffect(effect);
  }
  auto* animation = new QPropertyAnimation(effect, "opacity", view);
  animation->setDuration(static_cast<int>(std::lround((seconds > 0 ? seconds : 1.0) * 1000)));
  animation->setEndValue(to);
  QObject::connect(animation, &QPropertyAnimation::finished, view, [completion = std::move(completion)] {
    if (completion) completion();
  });
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace

QString windowTitle() { return QGuiApplication::applicationDisplayName(); }

QMessageBox* showAlert(QWidget* parent, const QString& message, const QString& contents, std::function<void()> done) {
  return alert(QMessageBox::Critical, parent, message, contents, std::move(done));
}

QMessageBox* showMessage(QWidget* parent, const QString& message, const QString& contents, std::function<void()> done) {
  return alert(QMessageBox::Information, parent, message, contents, std::move(done));
}

void start(QProgressBar* indicator) {
  indicator->setRange(0, 0);
  indicator->show();
}

void stop(QProgressBar* indicator) {
  indicator->setRange(0, 100);
  indicator->setValue(0);
  indicator->hide();
}

void setDeterminate(QProgressBar* indicator, double value) {
  indicator->setRange(0, 100);
  indicator->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0))));
}

void fadeIn(QWidget* view, double seconds, std::function<void()> completion) {
  fade(view, seconds, 1.0, std::move(completion));
}
void fadeOut(QWidget* view, double seconds, std::function<void()> completion) {
  fade(view, seconds, 0.0, std::move(completion));
}

QStringList localPaths(const QMimeData* data) {
  QStringList paths;
  if (!data) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace tarnix::QLInterfaceHelpers
