#include "app/lists/table_list_model.h"

#include <QBrush>
#include <QColor>

#include "table_engine/table_engine.h"

namespace ql {

QString DisplayDate(const std::string& d) {
  if (d.size() != 8) return QString::fromStdString(d);
  return QString::fromStdString(d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2));
}

TTableListModel::TTableListModel(xb::TTableEngine& table, std::vector<TListColumn> columns,
                                 std::string archivedField, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)), archivedField_(std::move(archivedField)) {
  Reload();
}

void TTableListModel::Reload() {
  beginResetModel();
  rows_.clear();
  isDate_.clear();
  for (const TListColumn& c : columns_) {
    bool date = false;
    if (table_.IsOpen())
      for (const auto& f : table_.Fields())
        if (f.name == c.field) date = f.type == 'D';
    isDate_.push_back(date ? 1 : 0);
  }
  atEnd_ = !table_.IsOpen();
  if (!atEnd_) {
    std::vector<Row> first = ReadMore(kBatch);
    rows_ = std::move(first);
  }
  endResetModel();
}

TTableListModel::Row TTableListModel::ReadCurrent() const {
  Row row;
  row.recno = table_.RecNo();
  std::string value;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (isDate_[i] != 0) {
      table_.GetDateString(columns_[i].field, value);
      row.cells.push_back(DisplayDate(value));
    } else {
      table_.GetString(columns_[i].field, value);
      row.cells.push_back(QString::fromStdString(value));
    }
  }
  if (!archivedField_.empty()) table_.GetLogical(archivedField_, row.archived);
  return row;
}

std::vector<TTableListModel::Row> TTableListModel::ReadMore(int count) {
  std::vector<Row> read;
  if (atEnd_) return read;
  int rc = 0;
  if (rows_.empty()) {
    rc = table_.GoTop();
  } else {
    // Continue after the last row read, wherever the commands left the cursor.
    rc = table_.Go(rows_.back().recno);
    if (rc == 0) rc = table_.Skip(1);
  }
  while (rc == 0 && !table_.Eof() && static_cast<int>(read.size()) < count) {
    read.push_back(ReadCurrent());
    rc = table_.Skip(1);
  }
  if (rc != 0 || table_.Eof()) atEnd_ = true;
  return read;
}

uint32_t TTableListModel::RecNoAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return 0;
  return rows_[static_cast<std::size_t>(row)].recno;
}

int TTableListModel::RowOfRecNo(uint32_t recno) {
  for (;;) {
    for (std::size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i].recno == recno) return static_cast<int>(i);
    if (atEnd_) return -1;
    fetchMore({});
  }
}

bool TTableListModel::IsArchived(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[static_cast<std::size_t>(row)].archived;
}

int TTableListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTableListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TTableListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole) return row.cells[static_cast<std::size_t>(index.column())];
  if (role == Qt::ForegroundRole && row.archived) return QBrush(QColor(Qt::red));
  return {};
}

QVariant TTableListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return {};
  if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
  return columns_[static_cast<std::size_t>(section)].label;
}

bool TTableListModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !atEnd_; }

void TTableListModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || atEnd_) return;
  std::vector<Row> more = ReadMore(kBatch);
  if (more.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
  for (Row& r : more) rows_.push_back(std::move(r));
  endInsertRows();
}

}  // namespace ql
