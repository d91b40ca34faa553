#pragma once
// What the applications' responsiveness benchmarks watch on the GUI thread: the widest gap
// between two ticks of a 5 ms timer (the longest the event loop did not run) and the longest
// a progress indicator stood still between two of its moves.
#include <QElapsedTimer>
#include <QObject>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <utility>

namespace tarnix::bench {

class GuiResponsiveness {
 public:
  // `counting` says whether a still spell that a move ends counts (the EZ installer's counts
  // only once the repair runs: before it the indicator is meant to wait); all count without it.
  explicit GuiResponsiveness(QProgressBar* indicator, std::function<bool()> counting = {})
      : counting_(std::move(counting)) {
    tick_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      longestStall_ = std::max(longestStall_, now - lastTick_);
      lastTick_ = now;
    });
    QObject::connect(indicator, &QProgressBar::valueChanged, &tick_, [this](int) {
      const qint64 now = clock_.elapsed();
      if (!counting_ || counting_()) longestStill_ = std::max(longestStill_, now - lastMove_);
      lastMove_ = now;
      ++moves_;
    });
  }

  // Starts the clock and the ticks; stop ends the ticks, the clock runs on.
  void start() {
    clock_.start();
    tick_.start(5);
  }
  void stop() { tick_.stop(); }

  qint64 elapsed() const { return clock_.elapsed(); }
  qint64 longestStall() const { return longestStall_; }
  qint64 longestStill() const { return longestStill_; }
  int moves() const { return moves_; }

 private:
  std::function<bool()> counting_;
  QElapsedTimer clock_;
  QTimer tick_;
  qint64 lastTick_ = 0, longestStall_ = 0, lastMove_ = 0, longestStill_ = 0;
  int moves_ = 0;
};

}  // namespace tarnix::bench
