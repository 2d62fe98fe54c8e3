#include "app/rebuild/rebuild_indexes.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "app/fax_store/fax_store.h"
#include "platform/data_folder.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class RebuildTest : public ::testing::Test {
 protected:
  RebuildTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    StartTableSession();
    EXPECT_TRUE(OpenFaxDBF(out_));
    EXPECT_TRUE(OpenRecFaxDBF(rec_));
    for (int i = 0; i < 40; ++i) AppendDriverFax(out_, "", "r", "s" + std::to_string(i), "1");
    for (int i = 0; i < 40; i += 2) {
      out_.Go(static_cast<uint32_t>(i + 1));
      DeleteRow(out_);
    }
    out_.SetOrder(out_.TagArea("SUBJECT"));
  }
  testing::TempDir dir_;
  xb::TTableEngine out_;
  xb::TTableEngine rec_;
};

TEST_F(RebuildTest, PacksEveryTableRebuildsTagsAndKeepsTheOrder) {
  {
    xb::TTableEngine book;
    ASSERT_TRUE(OpenPhoneDBF(book));
    AppendPhoneEntry(book, PhoneEntry{"A", "1"});
    DeleteRow(book);
  }
  std::filesystem::remove(dir_ / "QLREC.CDX");  // a missing index is no error
  const auto before = std::filesystem::file_size(dir_ / "QLOUT.DBF");
  TRebuildInd window(nullptr, out_, rec_);
  EXPECT_EQ(window.exec(), QDialog::Accepted);  // works on show and closes itself
  EXPECT_LT(std::filesystem::file_size(dir_ / "QLOUT.DBF"), before);
  EXPECT_EQ(out_.RecCount(), 20U);
  EXPECT_EQ(out_.TagName(out_.IndexOrd()), "SUBJECT");
  for (const auto& tag : OutgoingTags()) EXPECT_GT(out_.TagArea(tag.name), 0) << tag.name;
  for (const auto& tag : ReceivedTags()) EXPECT_GT(rec_.TagArea(tag.name), 0) << tag.name;
  xb::TTableEngine book;
  ASSERT_TRUE(OpenPhoneDBF(book));
  EXPECT_EQ(book.RecCount(), 0U);
}

TEST_F(RebuildTest, PhoneBookHeldByAnotherOpenIsSkipped) {
  xb::TTableEngine held;
  ASSERT_TRUE(OpenPhoneDBF(held));  // shared, as the picker holds it
  AppendPhoneEntry(held, PhoneEntry{"A", "1"});
  DeleteRow(held);
  TRebuildInd window(nullptr, out_, rec_);
  EXPECT_FALSE(window.RebuildAll());
  EXPECT_EQ(held.RecCount(), 1U);
  EXPECT_EQ(out_.RecCount(), 20U);
}

TEST(GaugeKeys, ReportsCarryMinusThePercentage) {
  for (int percent : {1, 50, 100}) {
    const int key = xb::GaugeKeyForPercent(percent);
    EXPECT_TRUE(IsGaugeKey(key));
    EXPECT_EQ(GaugePercentOfKey(key), percent);
  }
  EXPECT_FALSE(IsGaugeKey(Qt::Key_A));
}

}  // namespace
}  // namespace ql
