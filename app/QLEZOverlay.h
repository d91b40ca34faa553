#pragma once
// The Installation pane's EZ overlay: the drop target and, over its picture, the rounded box
// with the kext picture, the indicator and the status line; the overlay's idle, preparing and
// running looks, and the animation that alternates the status line's two invitations.
#include "app/QLEZView.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace tarnix {

class QLEZOverlay final : public QLEZView {
  Q_OBJECT
 public:
  // The animation's tick, and each of its four fades.
  static constexpr int kAnimationIntervalMs = 3000;
  static constexpr int kFadeMs = 750;

  explicit QLEZOverlay(QWidget* parent = nullptr);

  QLEZBox* backgroundBox() const { return backgroundBox_; }
  QLabel* kextImageView() const { return kextImageView_; }
  QProgressBar* circularIndicator() const { return circularIndicator_; }
  QLabel* statusField() const { return statusField_; }
  // Runs performAnimation every tick while it is active.
  QTimer* animationTimer() const { return animationTimer_; }

  // Waiting for a drop: the kext picture, dark text, a clear box over the sharp picture.
  void showIdleLook();
  // A drop was taken: the kext picture gives way to the running indicator, the picture blurs.
  void showPreparingLook();
  // A run under way: white bold text and a white bar on a dark box.
  void showRunningLook();

  // Fades the status line out and in twice, from one invitation to the other; ends early
  // when the animation is stopped meanwhile.
  void performAnimation();
  // Ends the fades under way, shows the status line fully and stops the timer.
  void stopAnimation();

 private:
  QLEZBox* backgroundBox_;
  QLabel* kextImageView_;
  QProgressBar* circularIndicator_;
  QLabel* statusField_;
  QTimer* animationTimer_;
  // Ends the fades of an animation tick that was stopped.
  int animationGeneration_ = 0;
};

}  // namespace tarnix
