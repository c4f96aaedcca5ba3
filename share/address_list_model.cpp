#include "share/address_list_model.h"

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
  insertRows(position, addresses, {});
}

void AddressListModel::insertRows(int position, const QStringList& addresses,
                                  const QList<qint64>& keys) {
  if (addresses.isEmpty()) return;
  const int at = std::clamp(position, 0, rowCountInt());
  const auto first = static_cast<int>(at);
  const auto last = static_cast<int>(at + addresses.size() - 1);
  beginInsertRows(QModelIndex(), first, last);
  std::vector<Row> fresh(static_cast<std::size_t>(addresses.size()));
  for (qsizetype i = 0; i < addresses.size(); ++i) {
    Row& row = fresh[static_cast<std::size_t>(i)];
    row.cells[AddressColumn] = addresses[i];
    row.key = i < keys.size() && keys[i] > 0 ? keys[i] : lastKey_ + 1;
    lastKey_ = std::max(lastKey_, row.key);
  }
  positionsValid_ = false;
  rows_.insert(rows_.begin() + at, std::make_move_iterator(fresh.begin()),
               std::make_move_iterator(fresh.end()));
  endInsertRows();
}

void AddressListModel::deleteRows(int position, int count) {
  if (position < 0 || position >= rowCountInt() || count <= 0) return;
  count = std::min(count, rowCountInt() - position);
  beginRemoveRows(QModelIndex(), position, position + count - 1);
  rows_.erase(rows_.begin() + position, rows_.begin() + position + count);
  positionsValid_ = false;
  endRemoveRows();
}

void AddressListModel::clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  positionsValid_ = false;
  endResetModel();
}

void AddressListModel::clearColumn(int column) {
  if (rows_.empty() || column < 0 || column > 2) return;
  for (Row& row : rows_) row.cells[column].clear();
  Q_EMIT dataChanged(index(0, column), index(rowCountInt() - 1, column), {Qt::DisplayRole});
}

void AddressListModel::deleteRowSet(const QList<int>& rows) {
  std::vector<bool> gone(rows_.size(), false);
  QList<qint64> keys;
  for (const int row : rows) {
    if (row < 0 || row >= rowCountInt() || gone[static_cast<std::size_t>(row)]) continue;
    gone[static_cast<std::size_t>(row)] = true;
    keys.append(rows_[static_cast<std::size_t>(row)].key);
  }
  if (keys.isEmpty()) return;
  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::NoLayoutChangeHint);
  // Where each old row ends up (-1: deleted), in one sweep.
  std::vector<int> moved(rows_.size(), -1);
  std::size_t out = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (gone[i]) continue;
    moved[i] = static_cast<int>(out);
    if (out != i) rows_[out] = std::move(rows_[i]);
    ++out;
  }
  rows_.resize(out);
  positionsValid_ = false;
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& index : before) {
    const int to = index.row() < static_cast<int>(moved.size()) ? moved[index.row()] : -1;
    after.append(to < 0 ? QModelIndex() : this->index(to, index.column()));
  }
  changePersistentIndexList(before, after);
  Q_EMIT layoutChanged({}, QAbstractItemModel::NoLayoutChangeHint);
  Q_EMIT rowSetDeleted(keys);
}

void AddressListModel::clearStatuses(const QList<int>& rows) {
  QList<int> valid;
  QList<qint64> keys;
  for (const int row : rows) {
    if (row < 0 || row >= rowCountInt()) continue;
    valid.append(row);
    keys.append(keyAt(row));
  }
  if (valid.isEmpty()) return;
  Q_EMIT statusesClearing(keys);
  for (const int row : std::as_const(valid)) setCell(row, StatusColumn, QString());
  Q_EMIT statusesCleared();
}

void AddressListModel::indexKeys() const {
  if (positionsValid_) return;
  positions_.clear();
  positions_.reserve(static_cast<qsizetype>(rows_.size()));
  for (std::size_t i = 0; i < rows_.size(); ++i)
    positions_.insert(rows_[i].key, static_cast<int>(i));
  positionsValid_ = true;
}

qint64 AddressListModel::keyAt(int row) const {
  if (row < 0 || row >= rowCountInt()) return 0;
  return rows_[static_cast<std::size_t>(row)].key;
}

int AddressListModel::rowOf(qint64 key) const {
  indexKeys();
  return positions_.value(key, -1);
}

QList<qint64> AddressListModel::keys(int first, int count) const {
  QList<qint64> out;
  first = std::max(first, 0);
  const int end = std::min(rowCountInt(), first + std::max(count, 0));
  out.reserve(std::max(0, end - first));
  for (int row = first; row < end; ++row) out.append(rows_[static_cast<std::size_t>(row)].key);
  return out;
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

}  // namespace quillet
