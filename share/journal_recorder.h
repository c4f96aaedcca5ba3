#pragma once

#include <QList>
#include <QObject>

#include "journal/journal_types.h"

class QModelIndex;

namespace quillet {

class AddressListModel;
class Journal;

/// Keeps the journal a durable copy of the address list: every change the
/// model announces is committed in the slot that hears of it. The model's
/// signals are delivered directly, so the change is on the disk before the
/// code that made it goes on (and before a pass takes its next page step).
class JournalRecorder : public QObject {
  Q_OBJECT

 public:
  JournalRecorder(Journal& journal, AddressListModel& list, QObject* parent = nullptr);

  /// Puts restored rows into the list without writing them back.
  void loadRows(const QList<JournalRow>& rows);

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
};

}  // namespace quillet
