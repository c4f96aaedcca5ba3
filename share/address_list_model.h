#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace quillet {

/// Column widths in pixels of the address list view: address, status,
/// publish time.
inline constexpr std::array<int, 3> kAddressColumnWidths{400, 100, 200};

/// The address list: one row per item address with the outcome of its last
/// publishing ("", "成功", "失败", "地址错误") and the time of its latest
/// success. Every row has a key that never changes while it exists and is
/// never given to another row (the journal keeps it); positions, 0-based
/// from the top, are for display and change with every insert or delete.
/// Holds millions of rows; batches go in with one model operation.
class AddressListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { AddressColumn = 0, StatusColumn = 1, PublishTimeColumn = 2 };

  explicit AddressListModel(QObject* parent = nullptr);

  int rowCountInt() const { return static_cast<int>(rows_.size()); }
  /// The text of a cell; empty for a row or column that does not exist.
  QString cell(int row, int column = AddressColumn) const;
  /// Sets the text of a cell; a row or column that does not exist is ignored.
  void setCell(int row, int column, const QString& text);
  /// Inserts a new row (empty status and time) at `position`, clamped to
  /// the list.
  void insertRow(int position, const QString& address);
  /// Inserts one new row per address, in the given order, starting at
  /// `position` (clamped), as a single model operation.
  void insertRows(int position, const QStringList& addresses);
  /// The same with the rows' keys given (rows restored from the journal);
  /// later new rows get keys above every key seen.
  void insertRows(int position, const QStringList& addresses, const QList<qint64>& keys);
  /// Deletes `count` rows from `position` on (clamped to the list), as a
  /// single model operation; the rows below move up.
  void deleteRows(int position, int count);
  /// Deletes the rows at these positions (any order, duplicates ignored)
  /// in one pass over the list: views keep their place, one change signal.
  void deleteRowSet(const QList<int>& rows);
  /// Empties the status of the rows at these positions, announced as one
  /// batch (statusesClearing, then a change signal per row).
  void clearStatuses(const QList<int>& rows);
  /// Deletes every row.
  void clear();

  /// The key of the row at `row`; 0 when there is none.
  qint64 keyAt(int row) const;
  /// Keys up to `key` are taken (by rows gone, named still by a journal's
  /// passes): new rows get greater ones.
  void reserveKeys(qint64 key) { lastKey_ = std::max(lastKey_, key); }
  /// The position of the row with `key`; -1 when it is not in the list.
  int rowOf(qint64 key) const;
  /// The keys from `first` on, `count` of them.
  QList<qint64> keys(int first, int count) const;
  /// Sets one column of every row to the empty text (one change signal).
  void clearColumn(int column);

 Q_SIGNALS:
  /// deleteRowSet() removed the rows with these keys (sent after the
  /// layout change, instead of rowsRemoved).
  void rowSetDeleted(const QList<qint64>& keys);
  /// clearStatuses() is about to empty the status of the rows with these
  /// keys; statusesCleared() follows when it has.
  void statusesClearing(const QList<qint64>& keys);
  void statusesCleared();

 public:
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  /// The header text of a column (the address header keeps its 31 leading
  /// spaces).
  static QString headerText(int column);

 private:
  struct Row {
    QString cells[3];
    qint64 key = 0;
  };
  void indexKeys() const;

  std::vector<Row> rows_;
  qint64 lastKey_ = 0;
  // Key to position, rebuilt on demand after the rows moved.
  mutable QHash<qint64, int> positions_;
  mutable bool positionsValid_ = false;
};

}  // namespace quillet
