#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>

#include "share/designed_waits.h"

namespace quillet {

/// The designed time from one share to the next at a period (µs,
/// unscaled): the fixed waits plus the final pacing wait. Page loading comes
/// on top and is not known in advance.
std::int64_t designedRowMicros(double periodSeconds);

/// What a period gives, in words, for the status bar and the first line of
/// a run, e.g. "周期30秒：每个地址约22.6秒＋网页加载（固定17.6秒＋周期等待5秒）".
/// `jitterMaxMicros` is the most a random addition to the final wait adds.
/// A period that is not known (not finite) shows as 0 seconds.
QString pacingText(double periodSeconds, std::int64_t jitterMaxMicros = 0);

/// "实际每个约23.4秒": the measured time per address.
QString measuredRowText(double secondsPerRow);

/// Seconds as the texts above show them: one decimal, none when whole.
QString secondsText(double seconds);

/// Measures the real time per address of a run: the average time between
/// one row's result and the next (paused time left out), or before a second
/// result, the time from the start to the first one.
class RowPaceMeter {
 public:
  /// A run begins: earlier measurements are forgotten.
  void start();
  void setPaused(bool paused);
  /// A row has its result.
  void rowFinished();
  /// Seconds per address so far; negative before the first result.
  double secondsPerRow() const;

 private:
  std::int64_t activeMicros() const;

  QElapsedTimer clock_;
  QElapsedTimer pauseClock_;
  bool paused_ = false;
  std::int64_t pausedMicros_ = 0;
  std::int64_t startedAt_ = 0;
  std::int64_t firstAt_ = -1;
  std::int64_t lastAt_ = -1;
  int results_ = 0;
};

}  // namespace quillet
