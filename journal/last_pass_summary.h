#pragma once

#include <QString>
#include <optional>

namespace quillet {

/// The latest pass of a journal in a few numbers, as a list of accounts
/// shows it.
struct LastPassSummary {
  int succeeded = 0;     // rows 成功 in this pass
  int failed = 0;        // 失败
  int wrongAddress = 0;  // 地址错误
  int rows = 0;          // rows the pass visits
  bool finished = false;
  QString startedAt;  // local time, "yyyy-MM-dd HH:mm:ss"
  QString lastAt;     // local time of its last outcome; empty without one
};

/// Reads the latest pass of the journal in `stateDir` without changing
/// anything: opened read-only, safe while another Quillet writes it.
/// Nothing when there is no journal, no pass, or the journal is of a
/// shape this program does not know.
std::optional<LastPassSummary> readLastPassSummary(const QString& stateDir);

}  // namespace quillet
