#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace quillet {

/// The loading window: a fixed delay of 101 ticks of 66 ms (scaled by the
/// time scale) while the progress bar fills, one step a tick. The 101st tick
/// closes it and shows the window it was given.
class SplashWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 66;
  static constexpr int kSteps = 100;

  explicit SplashWindow(QWidget* windowToShow, QWidget* parent = nullptr);

  /// The process-wide tick counter, 0 at start and again after the last tick.
  static int splashTicks();

 private:
  void onSplashCreated();
  void onSplashTick();

  QWidget* windowToShow_;
  QLabel* label_;
  QProgressBar* progress_;
  QTimer clock_;
};

}  // namespace quillet
