#pragma once

#include <QString>

namespace quillet::term {

/// One finished row as `quillet run` reports it on standard output.
struct RowResult {
  int row = 0;  // 1-based, as the list shows it
  QString address;
  QString status;  // 成功, 失败, 地址错误 (or empty: not reached)
  QString time;    // the publish time, empty when none
};

/// The CSV header line "地址,状态,发布时间" with its line break.
QString csvHeader();
/// One RFC 4180 record: fields with a comma, quote or line break are
/// quoted, quotes doubled; ends with CRLF as the RFC has it. Control
/// characters become U+FFFD; a field that a spreadsheet would read as a
/// formula gets a leading '.
QString csvRecord(const RowResult& result);
/// One JSON object on one line: {"row":N,"address":...,"status":...,"time":...}.
QString jsonLine(const RowResult& result);

/// A hold event as one JSON line: {"event":"hold","reason":"muted","row":6,
/// "until":"2026-12-10T14:05:00"} (local time) when it begins, "holdEnded" when it
/// is over. Reasons: signedOut, muted, siteDown; "until" is null for a hold
/// without an end time (waiting for a sign-in).
QString jsonHoldLine(const QString& event, const QString& reason, int row, const QString& until);

}  // namespace quillet::term
