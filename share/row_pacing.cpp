#include "share/row_pacing.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "share/share_engine.h"

namespace quillet {

std::int64_t designedRowMicros(double periodSeconds) {
  return RowWaits::kTotal + ShareEngine::pacingMicros(periodSeconds);
}

QString secondsText(double seconds) {
  QString text = QLocale::c().toString(seconds, 'f', 1);
  if (text.endsWith(QLatin1String(".0"))) text.chop(2);
  return text;
}

QString pacingText(double periodSeconds, std::int64_t jitterMaxMicros) {
  const double period = std::isfinite(periodSeconds) ? periodSeconds : 0.0;
  const QString periodPart = QStringLiteral("周期%1秒：").arg(secondsText(period));
  const double fixed = RowWaits::kTotalSeconds;
  const double pacing = double(ShareEngine::pacingMicros(period)) / 1e6;
  const double jitter = double(std::max<std::int64_t>(0, jitterMaxMicros)) / 1e6;
  const double gap = fixed + pacing;
  QString gapPart = jitter > 0 ? QStringLiteral("每个地址约%1至%2秒＋网页加载")
                                     .arg(secondsText(gap), secondsText(gap + jitter))
                               : QStringLiteral("每个地址约%1秒＋网页加载").arg(secondsText(gap));
  QString why = QStringLiteral("固定%1秒").arg(secondsText(fixed));
  if (pacing > 0) why += QStringLiteral("＋周期等待%1秒").arg(secondsText(pacing));
  if (jitter > 0) why += QStringLiteral("＋随机0至%1秒").arg(secondsText(jitter));
  // The final wait is what the period exceeds 25 s by: up to 25 s a period
  // adds nothing to the fixed waits.
  if (pacing <= 0) why += QStringLiteral("；周期25秒以内不另等");
  return periodPart + gapPart + u'（' + why + u'）';
}

QString measuredRowText(double secondsPerRow) {
  return QStringLiteral("实际每个约%1秒").arg(secondsText(secondsPerRow));
}

void RowPaceMeter::start() {
  clock_.start();
  paused_ = false;
  pausedMicros_ = 0;
  startedAt_ = 0;
  firstAt_ = lastAt_ = -1;
  results_ = 0;
}

std::int64_t RowPaceMeter::activeMicros() const {
  if (!clock_.isValid()) return 0;
  std::int64_t paused = pausedMicros_;
  if (paused_ && pauseClock_.isValid()) paused += pauseClock_.nsecsElapsed() / 1000;
  return clock_.nsecsElapsed() / 1000 - paused;
}

void RowPaceMeter::setPaused(bool paused) {
  if (paused == paused_ || !clock_.isValid()) return;
  paused_ = paused;
  if (paused) {
    pauseClock_.start();
  } else {
    pausedMicros_ += pauseClock_.nsecsElapsed() / 1000;
  }
}

void RowPaceMeter::rowFinished() {
  if (!clock_.isValid()) start();
  const std::int64_t now = activeMicros();
  if (firstAt_ < 0) firstAt_ = now;
  lastAt_ = now;
  ++results_;
}

double RowPaceMeter::secondsPerRow() const {
  if (results_ == 0) return -1.0;
  if (results_ == 1) return double(firstAt_ - startedAt_) / 1e6;
  return double(lastAt_ - firstAt_) / 1e6 / (results_ - 1);
}

}  // namespace quillet
