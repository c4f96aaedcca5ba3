#pragma once

#include <QList>
#include <QObject>

#include "journal/journal_types.h"

class QModelIndex;

namespace quillet {

class AddressListModel;
class Journal;

/// Keeps the journal a durable copy of the address list, row by row under
/// the rows' keys, and writes each attempt's marks into its history: every
/// change is committed in the slot that hears of it. The model's signals
/// are delivered directly, so the change is on the disk before the code that
/// made it goes on (and before a pass takes its next page step). Batches (an
/// import, a deletion, 清除状态, 清空列表) are one transaction each.
class JournalRecorder : public QObject {
  Q_OBJECT

 public:
  JournalRecorder(Journal& journal, AddressListModel& list, QObject* parent = nullptr);

  /// Puts restored rows (with their keys) into the list without writing
  /// them back.
  void loadRows(const QList<JournalRow>& rows);

  /// The address of `row` went into the page for pass `pass`: an attempt
  /// begins.
  void addressEntered(int row, PassKey pass);
  /// The confirm of `row` was clicked: the attempt's mark is recorded now,
  /// its result (status and time, written into the list one cell after the
  /// other) is held back and committed whole by finishRow(), so that one
  /// commit makes the outcome durable. Until then the journal says
  /// "confirm clicked".
  void confirmClicked(int row);
  /// The row's result is complete in the list: commit it with the attempt's
  /// outcome.
  void finishRow(int row);
  /// The latest try of `row` was turned away by the site as a whole: it is
  /// recorded as no outcome of the row's (the pass tries the row again), and
  /// a result held back for it is dropped.
  void releaseRow(int row);
  /// Commits a held-back result as it stands (the pass ended without
  /// finishing the row).
  void flush();

  /// The list as the journal stores it.
  static QList<JournalRow> rowsOf(const AddressListModel& list, int first, int count);

 private:
  void onRowsInserted(const QModelIndex& parent, int first, int last);
  void onRowsRemoved(const QModelIndex& parent, int first, int last);
  void onModelReset();
  void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

  Journal& journal_;
  AddressListModel& list_;
  bool loading_ = false;
  bool clearing_ = false;  // a batch of cleared statuses is being announced
  RowKey attemptRow_ = 0;  // the row of the open attempt
  qint64 attempt_ = 0;
  RowKey pendingRow_ = 0;  // the row whose result is held back, or 0
};

}  // namespace quillet
