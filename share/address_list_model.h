#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

class QTreeView;

namespace quillet {

/// Column widths in pixels of the address list view: address, status,
/// publish time.
inline constexpr std::array<int, 3> kAddressColumnWidths{400, 100, 200};

/// The address list: one row per item address with the outcome of its last
/// publishing ("", "成功", "失败", "地址错误") and the time of its latest
/// success. Rows are addressed by their 0-based index from the top. Holds
/// millions of rows; batches go in with one model operation.
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
  /// Deletes `count` rows from `position` on (clamped to the list), as a
  /// single model operation; the rows below move up.
  void deleteRows(int position, int count);
  /// Deletes every row.
  void clear();
  /// Sets one column of every row to the empty text (one change signal).
  void clearColumn(int column);

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
  };
  std::vector<Row> rows_;
};

/// Shows the list in report form: the column widths above, no tree
/// decoration, uniform row heights (so that a million rows scroll freely).
void configureAddressView(QTreeView* view, AddressListModel* model);

}  // namespace quillet
