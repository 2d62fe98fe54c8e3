#include <gtest/gtest.h>

#include <QApplication>
#include <QBrush>
#include <QHeaderView>
#include <QTableView>

#include "app/fax_store/fax_store.h"
#include "app/lists/column_layout.h"
#include "app/lists/table_list_model.h"
#include "platform/data_folder.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class Lists : public ::testing::Test {
 protected:
  Lists() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    StartTableSession();
    EXPECT_TRUE(OpenFaxDBF(out_, ""));
  }
  void AddFaxes(int count) {
    for (int i = 0; i < count; ++i) {
      char subject[32];
      std::snprintf(subject, sizeof subject, "S%05d", i);
      ASSERT_EQ(AppendDriverFax(out_, "", "r", subject, "1"), 0);
    }
  }
  testing::TempDir dir_;
  xb::TTableEngine out_;
};

const std::vector<TListColumn> kColumns = {{"SUBJECT", "Subject"}, {"DATESENT", "Date Sent"}, {"RECIPIENT", "Recipient"}};

TEST_F(Lists, ReadsAScreenAtATimeInTheCurrentOrder) {
  AddFaxes(TTableListModel::kBatch + 10);
  out_.SetOrder(out_.TagArea("SUBJECT"));
  TTableListModel model(out_, kColumns, "ARCHIVED");
  EXPECT_EQ(model.rowCount(), TTableListModel::kBatch);
  EXPECT_TRUE(model.canFetchMore({}));
  EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "S00000");
  out_.GoTop();  // commands move the cursor between reads
  model.fetchMore({});
  EXPECT_EQ(model.rowCount(), TTableListModel::kBatch + 10);
  EXPECT_FALSE(model.canFetchMore({}));
  EXPECT_EQ(model.data(model.index(TTableListModel::kBatch, 0), Qt::DisplayRole).toString(), "S00256");
  EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Date Sent");
}

TEST_F(Lists, FindsRowsByRecordNumberAndDrawsArchivedRowsRed) {
  AddFaxes(TTableListModel::kBatch * 2);
  out_.SetOrder(out_.TagArea("SUBJECT"));
  out_.Go(400);
  ASSERT_EQ(ToggleArchived(out_), 0);
  TTableListModel model(out_, kColumns, "ARCHIVED");
  const int row = model.RowOfRecNo(400);
  ASSERT_GE(row, 0);
  EXPECT_EQ(model.RecNoAt(row), 400U);
  EXPECT_TRUE(model.IsArchived(row));
  EXPECT_EQ(model.data(model.index(row, 0), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
  EXPECT_FALSE(model.data(model.index(0, 0), Qt::ForegroundRole).isValid());
  EXPECT_EQ(model.RowOfRecNo(99999), -1);
}

TEST_F(Lists, EmptyTableHasNoRows) {
  TTableListModel model(out_, kColumns, "ARCHIVED");
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(model.canFetchMore({}));
  EXPECT_EQ(model.RecNoAt(0), 0U);
}

TEST_F(Lists, ColumnLayoutComesBackAndBadLinesAreSkipped) {
  AddFaxes(3);
  TTableListModel model(out_, kColumns, "ARCHIVED");
  const std::vector<std::string> fields = {"SUBJECT", "DATESENT", "RECIPIENT"};
  QTableView view;
  view.setModel(&model);
  view.horizontalHeader()->moveSection(2, 0);  // RECIPIENT first
  view.horizontalHeader()->resizeSection(0, 77);
  SaveGridOrders(view, fields, dir_ / "Out");
  EXPECT_EQ(testing::ReadFile(dir_ / "Out.gco"), "RECIPIENT\nSUBJECT\nDATESENT\n");

  QTableView again;
  again.setModel(&model);
  LoadGridOrders(again, fields, dir_ / "Out");
  EXPECT_EQ(again.horizontalHeader()->logicalIndex(0), 2);
  EXPECT_EQ(again.horizontalHeader()->sectionSize(0), 77);

  testing::WriteFile(dir_ / "Bad.gco", "NOSUCH\nDATESENT\n");
  testing::WriteFile(dir_ / "Bad.gcs", "20\nwide\n55\n");
  QTableView bad;
  bad.setModel(&model);
  LoadGridOrders(bad, fields, dir_ / "Bad");
  EXPECT_EQ(bad.horizontalHeader()->logicalIndex(1), 1);  // DATESENT moved to place 1
  EXPECT_EQ(bad.verticalHeader()->width(), 20);
  EXPECT_EQ(bad.horizontalHeader()->sectionSize(bad.horizontalHeader()->logicalIndex(1)), 55);
}

}  // namespace
}  // namespace ql
