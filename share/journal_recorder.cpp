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
}

QList<JournalRow> JournalRecorder::rowsOf(const AddressListModel& list, int first, int count) {
  QList<JournalRow> rows;
  rows.reserve(count);
  for (int row = first; row < first + count; ++row) {
    rows.append(JournalRow{list.cell(row, AddressListModel::AddressColumn),
                           list.cell(row, AddressListModel::StatusColumn),
                           list.cell(row, AddressListModel::PublishTimeColumn), RowStep::None});
  }
  return rows;
}

void JournalRecorder::loadRows(const QList<JournalRow>& rows) {
  loading_ = true;
  list_.clear();
  QStringList addresses;
  addresses.reserve(rows.size());
  for (const JournalRow& row : rows) addresses << row.address;
  list_.insertRows(0, addresses);
  for (int i = 0; i < rows.size(); ++i) {
    if (!rows[i].status.isEmpty()) list_.setCell(i, AddressListModel::StatusColumn, rows[i].status);
    if (!rows[i].publishTime.isEmpty())
      list_.setCell(i, AddressListModel::PublishTimeColumn, rows[i].publishTime);
  }
  loading_ = false;
}

void JournalRecorder::confirmClicked(int row) {
  flush();
  journal_.setRowStep(row, RowStep::ConfirmClicked);
  pendingRow_ = row;
}

void JournalRecorder::finishRow(int row) {
  if (row == pendingRow_) {
    flush();
  } else {
    journal_.setRowStep(row, RowStep::None);
  }
}

void JournalRecorder::flush() {
  if (pendingRow_ < 0) return;
  const int row = pendingRow_;
  pendingRow_ = -1;
  // Recording the outcome settles the row's step in the same commit.
  journal_.setOutcome(row, list_.cell(row, AddressListModel::StatusColumn),
                      list_.cell(row, AddressListModel::PublishTimeColumn));
}

void JournalRecorder::onRowsInserted(const QModelIndex&, int first, int last) {
  if (loading_) return;
  // Rows put in above the held-back row move it down.
  if (pendingRow_ >= first) pendingRow_ += last - first + 1;
  QStringList addresses;
  addresses.reserve(last - first + 1);
  for (int row = first; row <= last; ++row) addresses << list_.cell(row);
  // New rows come without status and time, as the journal inserts them.
  journal_.insertRows(first, addresses);
}

void JournalRecorder::onRowsRemoved(const QModelIndex&, int first, int last) {
  if (loading_) return;
  if (pendingRow_ > last) {
    pendingRow_ -= last - first + 1;
  } else if (pendingRow_ >= first) {
    pendingRow_ = -1;  // its row is gone, and its result with it
  }
  journal_.removeRows(first, last - first + 1);
}

void JournalRecorder::onModelReset() {
  if (loading_) return;
  pendingRow_ = -1;
  journal_.replaceRows(rowsOf(list_, 0, list_.rowCountInt()));
}

void JournalRecorder::onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
  if (loading_ || !topLeft.isValid() || !bottomRight.isValid()) return;
  const int first = topLeft.row();
  const int last = bottomRight.row();
  const bool status = topLeft.column() <= AddressListModel::StatusColumn &&
                      bottomRight.column() >= AddressListModel::StatusColumn;
  const bool time = bottomRight.column() >= AddressListModel::PublishTimeColumn;
  if (first == last && first == pendingRow_) return;  // committed by finishRow()
  if (first == last) {
    // One cell at a time is how a pass writes its results.
    if (status && time) {
      journal_.setOutcome(first, list_.cell(first, AddressListModel::StatusColumn),
                          list_.cell(first, AddressListModel::PublishTimeColumn));
    } else if (status) {
      journal_.setStatus(first, list_.cell(first, AddressListModel::StatusColumn));
    } else if (time) {
      journal_.setPublishTime(first, list_.cell(first, AddressListModel::PublishTimeColumn));
    }
    return;
  }
  if (first <= pendingRow_ && pendingRow_ <= last) flush();
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
