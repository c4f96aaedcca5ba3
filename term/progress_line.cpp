#include "term/progress_line.h"

#include <algorithm>
#include <cmath>

#include "share/row_pacing.h"

namespace quillet::term {
namespace {

QString counts(const PassProgress& p) {
  QString text = QStringLiteral("第%1/%2个 成功 %3 失败 %4 地址错误 %5")
                     .arg(p.row)
                     .arg(p.total)
                     .arg(p.succeeded)
                     .arg(p.failed)
                     .arg(p.wrongAddress);
  if (p.secondsPerRow >= 0) text += u' ' + measuredRowText(p.secondsPerRow);
  return text;
}

QString clock(std::int64_t seconds) {
  if (seconds < 0) return QStringLiteral("--:--");
  const std::int64_t h = seconds / 3600;
  const std::int64_t m = seconds / 60 % 60;
  const std::int64_t s = seconds % 60;
  const QString ms =
      QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
  return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(ms) : ms;
}

}  // namespace

QString liveProgressLine(const PassProgress& progress, int barWidth) {
  const int filled = progress.total > 0
                         ? std::clamp(progress.rowsDone * barWidth / progress.total, 0, barWidth)
                         : 0;
  const QString head =
      u'[' + QString(filled, u'#') + QString(barWidth - filled, u'.') + QStringLiteral("] ");
  if (!progress.hold.isEmpty())
    return head + counts(progress) + QStringLiteral(" [") + progress.hold + u']';
  return head + counts(progress) + QStringLiteral(" 剩余 ") + clock(progress.secondsLeft);
}

QString plainProgressLine(const PassProgress& progress) {
  const QString left = progress.secondsLeft < 0 ? QStringLiteral("未知")
                                                : QStringLiteral("%1 秒").arg(progress.secondsLeft);
  if (!progress.hold.isEmpty())
    return counts(progress) + QStringLiteral(" [") + progress.hold + u']';
  return counts(progress) + QStringLiteral(" 剩余 ") + left;
}

std::int64_t estimateSecondsLeft(std::int64_t elapsedMs, int rowsDone, int rowsLeft,
                                 double designedRowSeconds) {
  if (rowsLeft <= 0) return 0;
  const double perRow =
      rowsDone > 0 ? double(elapsedMs) / 1000.0 / rowsDone : std::max(0.0, designedRowSeconds);
  return static_cast<std::int64_t>(std::llround(perRow * rowsLeft));
}

}  // namespace quillet::term
