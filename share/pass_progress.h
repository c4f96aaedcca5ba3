#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>

#include "share/designed_waits.h"

namespace quillet {

/// Estimates the time a running pass still needs, for the window title
/// "Quillet - 第N/M个 - 约剩X分钟". Per row the pass waits its designed
/// fixed waits (RowWaits, scaled like every wait) plus the part of the period above
/// 25 s; on top of that come the page loads, whose time is measured on the
/// rows done so far. Time spent paused counts as neither.
class PassProgress {
 public:
  /// The designed waits of one row, unscaled.
  static constexpr std::int64_t kDesignedRowMicros = RowWaits::kTotal;

  /// A pass begins at 0-based `row`.
  void passStarted(int row);
  /// Work on 0-based `row` begins (its address is about to go in).
  void rowStarted(int row);
  /// `row` has its result; its measured time goes into the estimate.
  void rowFinished(int row);
  void setPaused(bool paused);
  void passEnded();

  bool isActive() const { return active_; }
  /// The 0-based row being worked on.
  int currentRow() const { return row_; }

  /// Microseconds still to go for the rows from the current one to
  /// `rowCount`, at a period of `periodSeconds`.
  std::int64_t remainingMicros(int rowCount, double periodSeconds) const;
  /// "Quillet - 第N/M个 - 约剩X分钟" (X rounded up, at least 1), or
  /// "Quillet" when no pass runs.
  QString titleText(int rowCount, double periodSeconds) const;

  /// The window's title when no pass runs.
  static QString idleTitle();

 private:
  std::int64_t rowElapsedMicros() const;

  bool active_ = false;
  bool paused_ = false;
  int row_ = 0;
  QElapsedTimer rowClock_;
  QElapsedTimer pauseClock_;
  std::int64_t pausedInRowMicros_ = 0;
  std::int64_t pageMicrosTotal_ = 0;  // measured beyond the designed waits
  int rowsMeasured_ = 0;
};

}  // namespace quillet
