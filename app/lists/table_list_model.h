#pragma once
// A list over an open table, read lazily: rows are read through the table's current
// order and filter a screenful at a time as the view asks for them, so a table of any
// size shows its first screen at once. Each cached row keeps its record number, which
// is how commands find their row in the table again.
//
// The table's own cursor is shared with the commands; the model moves it only while it
// reads and never relies on where it was left.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace ql::xb {
class TTableEngine;
}

namespace ql {

struct TListColumn {
  std::string field;  // table field name
  QString label;      // column heading
};

class TTableListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // archivedField: a logical field whose true value draws the row in red ("" for none).
  TTableListModel(xb::TTableEngine& table, std::vector<TListColumn> columns, std::string archivedField,
                  QObject* parent = nullptr);

  // Forgets every row read and starts again from the first row of the current order
  // (after any change to the table, its order or its filter).
  void Reload();

  // Record number of a list row, 0 when out of range.
  uint32_t RecNoAt(int row) const;
  // List row of a record number, reading further rows as needed; -1 when not listed.
  int RowOfRecNo(uint32_t recno);
  bool IsArchived(int row) const;
  const std::vector<TListColumn>& Columns() const { return columns_; }
  // How many rows to read per step.
  static constexpr int kBatch = 256;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  struct Row {
    uint32_t recno = 0;
    bool archived = false;
    std::vector<QString> cells;
  };
  Row ReadCurrent() const;
  // Reads up to count more rows into rows_ (without telling views).
  std::vector<Row> ReadMore(int count);

  xb::TTableEngine& table_;
  std::vector<TListColumn> columns_;
  std::vector<char> isDate_;
  std::string archivedField_;
  std::vector<Row> rows_;
  bool atEnd_ = false;
};

// "YYYYMMDD" shown as "YYYY-MM-DD"; anything else as it is.
QString DisplayDate(const std::string& yyyymmdd);

}  // namespace ql
