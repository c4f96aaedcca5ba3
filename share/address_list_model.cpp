#include "share/address_list_model.h"

#include <QHeaderView>
#include <QTreeView>
#include <algorithm>

namespace quillet {

AddressListModel::AddressListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString AddressListModel::headerText(int column) {
  switch (column) {
    case AddressColumn:
      return QString(31, QLatin1Char(' ')) + QStringLiteral("地址");
    case StatusColumn:
      return QStringLiteral("状态");
    case PublishTimeColumn:
      return QStringLiteral("发布时间");
    default:
      return {};
  }
}

QString AddressListModel::cell(int row, int column) const {
  if (row < 0 || row >= rowCountInt() || column < 0 || column > 2) return {};
  return rows_[static_cast<std::size_t>(row)].cells[column];
}

void AddressListModel::setCell(int row, int column, const QString& text) {
  if (row < 0 || row >= rowCountInt() || column < 0 || column > 2) return;
  rows_[static_cast<std::size_t>(row)].cells[column] = text;
  const QModelIndex changed = index(row, column);
  Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

void AddressListModel::insertRow(int position, const QString& address) {
  insertRows(position, QStringList{address});
}

void AddressListModel::insertRows(int position, const QStringList& addresses) {
  if (addresses.isEmpty()) return;
  const int at = std::clamp(position, 0, rowCountInt());
  const auto first = static_cast<int>(at);
  const auto last = static_cast<int>(at + addresses.size() - 1);
  beginInsertRows(QModelIndex(), first, last);
  std::vector<Row> fresh(static_cast<std::size_t>(addresses.size()));
  for (qsizetype i = 0; i < addresses.size(); ++i) {
    fresh[static_cast<std::size_t>(i)].cells[AddressColumn] = addresses[i];
  }
  rows_.insert(rows_.begin() + at, std::make_move_iterator(fresh.begin()),
               std::make_move_iterator(fresh.end()));
  endInsertRows();
}

void AddressListModel::deleteRows(int position, int count) {
  if (position < 0 || position >= rowCountInt() || count <= 0) return;
  count = std::min(count, rowCountInt() - position);
  beginRemoveRows(QModelIndex(), position, position + count - 1);
  rows_.erase(rows_.begin() + position, rows_.begin() + position + count);
  endRemoveRows();
}

void AddressListModel::clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  endResetModel();
}

void AddressListModel::clearColumn(int column) {
  if (rows_.empty() || column < 0 || column > 2) return;
  for (Row& row : rows_) row.cells[column].clear();
  Q_EMIT dataChanged(index(0, column), index(rowCountInt() - 1, column), {Qt::DisplayRole});
}

int AddressListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rowCountInt();
}

int AddressListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant AddressListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  return cell(index.row(), index.column());
}

QVariant AddressListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2) {
    return {};
  }
  return headerText(section);
}

void configureAddressView(QTreeView* view, AddressListModel* model) {
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setItemsExpandable(false);
  view->header()->setStretchLastSection(false);
  for (int column = 0; column < static_cast<int>(kAddressColumnWidths.size()); ++column) {
    view->setColumnWidth(column, kAddressColumnWidths[static_cast<std::size_t>(column)]);
  }
}

}  // namespace quillet
