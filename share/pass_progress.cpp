#include "share/pass_progress.h"

#include <algorithm>

#include "share/share_engine.h"
#include "site/time_scale.h"

namespace quillet {

QString PassProgress::idleTitle() {
  return QStringLiteral("Quillet");
}

void PassProgress::passStarted(int row) {
  active_ = true;
  paused_ = false;
  row_ = row;
  pausedInRowMicros_ = 0;
  rowClock_.start();
}

void PassProgress::rowStarted(int row) {
  row_ = row;
  pausedInRowMicros_ = 0;
  rowClock_.start();
}

std::int64_t PassProgress::rowElapsedMicros() const {
  if (!rowClock_.isValid()) return 0;
  std::int64_t paused = pausedInRowMicros_;
  if (paused_ && pauseClock_.isValid()) paused += pauseClock_.nsecsElapsed() / 1000;
  return std::max<std::int64_t>(0, rowClock_.nsecsElapsed() / 1000 - paused);
}

void PassProgress::rowFinished(int row) {
  if (!active_) return;
  // The row's page time: what it took beyond the waits it was designed to
  // take (the pacing wait comes after the result, so it is not in here).
  const std::int64_t designed = scaledMicros(kDesignedRowMicros);
  pageMicrosTotal_ += std::max<std::int64_t>(0, rowElapsedMicros() - designed);
  ++rowsMeasured_;
  row_ = row + 1;
  pausedInRowMicros_ = 0;
  rowClock_.start();
}

void PassProgress::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (paused) {
    pauseClock_.start();
  } else if (pauseClock_.isValid()) {
    pausedInRowMicros_ += pauseClock_.nsecsElapsed() / 1000;
  }
}

void PassProgress::passEnded() {
  active_ = false;
  paused_ = false;
}

std::int64_t PassProgress::remainingMicros(int rowCount, double periodSeconds) const {
  const int rowsLeft = std::max(0, rowCount - row_);
  if (rowsLeft == 0) return 0;
  const std::int64_t page = rowsMeasured_ > 0 ? pageMicrosTotal_ / rowsMeasured_ : 0;
  const std::int64_t perRow = scaledMicros(kDesignedRowMicros) +
                              scaledMicros(ShareEngine::pacingMicros(periodSeconds)) + page;
  // The row under way has already used part of its time.
  const std::int64_t spent = std::min(rowElapsedMicros(), perRow);
  return perRow * rowsLeft - spent;
}

QString PassProgress::titleText(int rowCount, double periodSeconds) const {
  if (!active_) return idleTitle();
  const std::int64_t micros = remainingMicros(rowCount, periodSeconds);
  const std::int64_t minutes = std::max<std::int64_t>(1, (micros + 59999999) / 60000000);
  return QStringLiteral("Quillet - 第%1/%2个 - 约剩%3分钟")
      .arg(std::min(row_ + 1, std::max(rowCount, 1)))
      .arg(rowCount)
      .arg(minutes);
}

}  // namespace quillet
