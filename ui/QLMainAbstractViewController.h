#pragma once
// The chrome every pane shares: a picture button, a title, a path line and a progress
// indicator. Panes are made through QLPaneFactory, which calls loadView once.
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QToolButton;

namespace tarnix {

class QLMainAbstractViewController : public QWidget {
  Q_OBJECT
 public:
  explicit QLMainAbstractViewController(QWidget* parent = nullptr);

  // Runs viewDidLoad the first time.
  void loadView();
  bool isViewLoaded() const { return loaded_; }

  QToolButton* imageButton = nullptr;
  QLabel* mainTitle = nullptr;
  QLabel* pathField = nullptr;
  QProgressBar* circularIndicator = nullptr;

 protected:
  virtual void viewDidLoad();
  // The top of every pane: the picture button beside the title, the path line and `extraLine`
  // (when given) below it.
  QHBoxLayout* headerLayout(QWidget* extraLine = nullptr);
  // The window takes the shared look each time the pane is shown.
  void showEvent(QShowEvent* event) override;

 private:
  bool loaded_ = false;
};

}  // namespace tarnix
