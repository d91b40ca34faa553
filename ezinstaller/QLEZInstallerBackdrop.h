#pragma once
// The installer pane's backdrop: a translucent sheet over the whole pane, behind its texts and
// its indicator, dark or light as the preferences say, with the texts coloured to read on it
// and the indicator drawn inverted on the dark one.
#include <QWidget>
#include <initializer_list>

class QLabel;
class QProgressBar;

namespace tarnix::ezinstaller {

class QLEZInstallerBackdrop final : public QWidget {
  Q_OBJECT
 public:
  // Covers `pane`, below its other children, and follows its size.
  explicit QLEZInstallerBackdrop(QWidget* pane);

  void applyAppearance(bool dark, std::initializer_list<QLabel*> texts, QProgressBar* indicator);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tarnix::ezinstaller
