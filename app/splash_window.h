#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace quillet {

/// The loading window: a fixed delay of 101 ticks of 66 ms (scaled by the
/// time scale) while the progress bar fills, one step a tick. The 101st tick
/// closes it and shows the window it was given. Closed earlier (Esc, or the
/// window manager's close), it only ends the animation: the window it was
/// given is shown all the same.
class SplashWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 66;
  static constexpr int kSteps = 100;

  explicit SplashWindow(QWidget* windowToShow, QWidget* parent = nullptr);

  /// The process-wide tick counter, 0 at start and again after the last tick.
  static int splashTicks();

  /// Every way of closing ends here: the tick stops and the window it was
  /// given is shown, so that the program never runs on without a window.
  void done(int result) override;

 private:
  void onSplashCreated();
  void onSplashTick();

  QPointer<QWidget> windowToShow_;
  QLabel* label_;
  QProgressBar* progress_;
  QTimer clock_;
};

}  // namespace quillet
