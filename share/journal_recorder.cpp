#include "share/journal_recorder.h"

#include "journal/journal.h"
#include "share/address_list_model.h"

namespace quillet {

JournalRecorder::JournalRecorder(Journal& journal, AddressListModel& list, QObject* parent)
    : QObject(parent), journal_(journal), list_(list) {
  connect(&list_, &QAbstractItemModel::rowsInserted, this, &JournalRecorder::onRowsInserted,
          Qt::DirectConnection);
  connect(&list_, &QAbstractItemModel::rowsRemoved, this, &JournalRecorder::onRowsRemoved,
          Qt::DirectConnection);
  connect(&list_, &QAbstractItemModel::modelReset, this, &JournalRecorder::onModelReset,
          Qt::DirectConnection);
  connect(&list_, &QAbstractItemModel::dataChanged, this, &JournalRecorder::onDataChanged,
          Qt::DirectConnection);
  connect(
      &list_, &AddressListModel::rowSetDeleted, this,
      [this](const QList<qint64>& keys) {
        if (keys.contains(pendingRow_)) pendingRow_ = 0;  // its result goes with it
        journal_.removeKeys(keys);
      },
      Qt::DirectConnection);
  connect(
      &list_, &AddressListModel::statusesClearing, this,
      [this](const QList<qint64>& keys) {
        clearing_ = true;
        journal_.clearStatusOf(keys);
      },
      Qt::DirectConnection);
  connect(
      &list_, &AddressListModel::statusesCleared, this, [this] { clearing_ = false; },
      Qt::DirectConnection);
}

QList<JournalRow> JournalRecorder::rowsOf(const AddressListModel& list, int first, int count) {
  QList<JournalRow> rows;
  rows.reserve(count);
  for (int row = first; row < first + count; ++row) {
    rows.append(JournalRow{list.cell(row, AddressListModel::AddressColumn),
                           list.cell(row, AddressListModel::StatusColumn),
                           list.cell(row, AddressListModel::PublishTimeColumn), list.keyAt(row)});
  }
  return rows;
}

void JournalRecorder::loadRows(const QList<JournalRow>& rows) {
  loading_ = true;
  list_.clear();
  QStringList addresses;
  QList<qint64> keys;
  addresses.reserve(rows.size());
  keys.reserve(rows.size());
  for (const JournalRow& row : rows) {
    addresses << row.address;
    keys << row.key;
  }
  list_.insertRows(0, addresses, keys);
  // A deleted row's key stays its own: new rows must not take it.
  list_.reserveKeys(journal_.lastKey());
  for (int i = 0; i < rows.size(); ++i) {
    if (!rows[i].status.isEmpty()) list_.setCell(i, AddressListModel::StatusColumn, rows[i].status);
    if (!rows[i].publishTime.isEmpty())
      list_.setCell(i, AddressListModel::PublishTimeColumn, rows[i].publishTime);
  }
  loading_ = false;
}

void JournalRecorder::addressEntered(int row, PassKey pass) {
  flush();
  attemptRow_ = list_.keyAt(row);
  attempt_ = journal_.beginAttempt(attemptRow_, pass);
}

void JournalRecorder::confirmClicked(int row) {
  flush();
  const RowKey key = list_.keyAt(row);
  if (key != attemptRow_ || attempt_ == 0) {
    attemptRow_ = key;
    attempt_ = journal_.beginAttempt(key, 0);
  }
  journal_.confirmAttempt(attempt_);
  pendingRow_ = key;
}

void JournalRecorder::finishRow(int row) {
  const RowKey key = list_.keyAt(row);
  if (key != 0 && key == pendingRow_) {
    flush();
    return;
  }
  // A row finished without a confirm (地址错误): its attempt gets the outcome.
  journal_.finishAttempt(key == attemptRow_ ? attempt_ : 0, key,
                         list_.cell(row, AddressListModel::StatusColumn),
                         list_.cell(row, AddressListModel::PublishTimeColumn));
  if (key == attemptRow_) attempt_ = 0, attemptRow_ = 0;
}

void JournalRecorder::releaseRow(int row) {
  const RowKey key = list_.keyAt(row);
  if (key == 0) return;
  if (key == pendingRow_) pendingRow_ = 0;
  if (key == attemptRow_) attempt_ = 0, attemptRow_ = 0;
  journal_.releaseAttempt(key);
}

void JournalRecorder::flush() {
  if (pendingRow_ == 0) return;
  const RowKey key = pendingRow_;
  pendingRow_ = 0;
  const int row = list_.rowOf(key);
  if (row < 0) return;
  // A result never read is no outcome: the attempt keeps its confirm mark
  // and nothing else, which is what the journal reads back as "未确认".
  if (list_.cell(row, AddressListModel::StatusColumn) == QStringLiteral("未确认")) {
    if (key == attemptRow_) attempt_ = 0, attemptRow_ = 0;
    return;
  }
  // The outcome, the attempt's and the row's, in one commit.
  journal_.finishAttempt(key == attemptRow_ ? attempt_ : 0, key,
                         list_.cell(row, AddressListModel::StatusColumn),
                         list_.cell(row, AddressListModel::PublishTimeColumn));
  if (key == attemptRow_) attempt_ = 0, attemptRow_ = 0;
}

void JournalRecorder::onRowsInserted(const QModelIndex&, int first, int last) {
  if (loading_) return;
  QStringList addresses;
  addresses.reserve(last - first + 1);
  for (int row = first; row <= last; ++row) addresses << list_.cell(row);
  // New rows come without status and time, as the journal inserts them.
  journal_.insertRows(first, addresses, list_.keys(first, last - first + 1));
}

void JournalRecorder::onRowsRemoved(const QModelIndex&, int first, int last) {
  if (loading_) return;
  // The journal's order mirrors the list's: the same places, the same keys.
  const RowKey gone = pendingRow_;
  journal_.removeRows(first, last - first + 1);
  if (gone != 0 && list_.rowOf(gone) < 0) pendingRow_ = 0;  // its row is gone, and its result
}

void JournalRecorder::onModelReset() {
  if (loading_) return;
  pendingRow_ = 0;
  journal_.replaceRows(rowsOf(list_, 0, list_.rowCountInt()));
}

void JournalRecorder::onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
  if (loading_ || clearing_ || !topLeft.isValid() || !bottomRight.isValid()) return;
  const int first = topLeft.row();
  const int last = bottomRight.row();
  const bool status = topLeft.column() <= AddressListModel::StatusColumn &&
                      bottomRight.column() >= AddressListModel::StatusColumn;
  const bool time = bottomRight.column() >= AddressListModel::PublishTimeColumn;
  if (first == last && list_.keyAt(first) == pendingRow_) return;  // committed by finishRow()
  if (first == last) {
    const RowKey key = list_.keyAt(first);
    // One cell at a time is how a pass writes its results.
    if (status && time) {
      journal_.setRowOutcome(key, list_.cell(first, AddressListModel::StatusColumn),
                             list_.cell(first, AddressListModel::PublishTimeColumn));
    } else if (status) {
      journal_.setRowStatus(key, list_.cell(first, AddressListModel::StatusColumn));
    } else if (time) {
      journal_.setRowPublishTime(key, list_.cell(first, AddressListModel::PublishTimeColumn));
    }
    return;
  }
  const int pendingAt = pendingRow_ == 0 ? -1 : list_.rowOf(pendingRow_);
  if (first <= pendingAt && pendingAt <= last) flush();
  if (status && !time && first == 0 && last == list_.rowCountInt() - 1) {
    bool allEmpty = true;
    for (int row = first; row <= last && allEmpty; ++row)
      allEmpty = list_.cell(row, AddressListModel::StatusColumn).isEmpty();
    // Loop sharing empties the whole status column at the end of a pass.
    if (allEmpty) {
      journal_.clearStatuses();
      return;
    }
  }
  journal_.updateRows(first, rowsOf(list_, first, last - first + 1));
}

}  // namespace quillet
