#pragma once

#include <QString>
#include <cstdint>

namespace quillet::term {

/// Where a pass stands, for the progress shown on standard error.
struct PassProgress {
  int row = 0;    // 1-based row being worked on (0 before the first)
  int total = 0;  // rows in the list
  int succeeded = 0;
  int failed = 0;
  int wrongAddress = 0;
  // Rows of the list behind the pass, the ones before a resumed pass's
  // first row included: what the bar shows.
  int rowsDone = 0;
  std::int64_t secondsLeft = -1;  // -1 while unknown
  double secondsPerRow = -1;      // the measured time per address; negative while unknown
  QString hold;  // the hold the pass is in ("账号被限制，暂停到14:05"), or empty
};

/// The live line for a terminal: a bar, the row, the counts and the time
/// left, e.g. "[#####.....] 第3/10个 成功 2 失败 0 地址错误 0 实际每个约23.4秒 剩余 02:35"
/// (the time per address once a row has its result). During a hold the hold
/// takes the place of the time left: "... 地址错误 0 [账号被限制，暂停到14:05]".
QString liveProgressLine(const PassProgress& progress, int barWidth = 20);

/// The plain line for a log: "第3/10个 成功 2 失败 0 地址错误 0 实际每个约23.4秒 剩余 155 秒".
QString plainProgressLine(const PassProgress& progress);

/// An estimate of the seconds left: the time per finished row so far times
/// the rows left, or before any row finished, `designedRowSeconds` per row.
std::int64_t estimateSecondsLeft(std::int64_t elapsedMs, int rowsDone, int rowsLeft,
                                 double designedRowSeconds);

}  // namespace quillet::term
