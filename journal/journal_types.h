#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace quillet {

/// How far a pass got with one row. Kept so that a row whose confirm was
/// clicked but whose result never got recorded is known after a crash.
enum class RowStep : int {
  None = 0,            // no step of a pass is pending on this row
  AddressEntered = 1,  // the address was submitted; nothing shared yet
  ConfirmClicked = 2,  // the share was confirmed; its result is not known
};

/// One row of the address list as the journal keeps it.
struct JournalRow {
  QString address;
  QString status;
  QString publishTime;
  RowStep step = RowStep::None;

  friend bool operator==(const JournalRow&, const JournalRow&) = default;
};

/// The sharing engine's run state as the journal keeps it.
struct JournalRunState {
  bool running = false;  // a pass was under way
  std::int32_t currentRow = 0;
  std::int32_t failedCount = 0;

  friend bool operator==(const JournalRunState&, const JournalRunState&) = default;
};

/// Everything a journal gives back at start-up.
struct JournalSnapshot {
  QList<JournalRow> rows;  // in list order; no row has a pending step
  QStringList failed;      // the failed-address list, in its order
  JournalRunState run;
  QString importedText;  // status-bar part 2, empty when never written
  /// When a pass was running as the program ended: the 0-based row at which
  /// the next "发表" goes on (pending rows already settled), else -1.
  std::int32_t resumeRow = -1;
  /// Rows that came back as unconfirmed (their confirm was clicked, their
  /// result never recorded).
  int unconfirmedCount = 0;
};

/// The status of a row that may or may not have been shared.
inline QString unconfirmedStatus() {
  return QStringLiteral("未确认");
}

}  // namespace quillet
