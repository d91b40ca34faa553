#pragma once
// The small interface helpers every pane uses: alerts, the progress indicator, fades, the
// files of a drag.
#include <QString>
#include <QStringList>
#include <functional>

class QMessageBox;
class QMimeData;
class QProgressBar;
class QWidget;

namespace tarnix::QLInterfaceHelpers {

// The title of every alert window: the application's name, short, as window lists show it.
QString windowTitle();

// A critical (showAlert) or informational (showMessage) alert: message text, informative
// text. With a parent it is modal to the parent's window and this returns at once; `done`
// runs when it is dismissed. An alert already open over that window is answered first: the
// new one opens after it. Without a parent it runs modally before returning.
QMessageBox* showAlert(QWidget* parent, const QString& message, const QString& contents,
                       std::function<void()> done = {});
QMessageBox* showMessage(QWidget* parent, const QString& message, const QString& contents,
                         std::function<void()> done = {});

// start: show and animate (indeterminate unless a value is set afterwards); stop: hide.
void start(QProgressBar* indicator);
void stop(QProgressBar* indicator);
// Determinate from 0 to 100 at `value` per cent.
void setDeterminate(QProgressBar* indicator, double value);

// Animates the widget's opacity to 1 (in) or 0 (out) over `seconds` (1 s when not above 0).
void fadeIn(QWidget* view, double seconds, std::function<void()> completion = {});
void fadeOut(QWidget* view, double seconds, std::function<void()> completion = {});

// The local files a drag carries, in its order; other URLs are passed over.
QStringList localPaths(const QMimeData* data);

}  // namespace tarnix::QLInterfaceHelpers
