// The three tables: creation, schemas, tags and their orders, repair of a lost index,
// row operations and the rebuild.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/fax_store/fax_store.h"
#include "table_engine/table_errors.h"
#include "table_engine/tests/python_reference.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using ql::testing::TempDir;
using xb::TTableEngine;
using xb::xbOK;

std::time_t At(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day, tm.tm_hour = hour, tm.tm_min = minute;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string Column(TTableEngine& t, const char* field) {
  std::string out, v;
  for (t.GoTop(); !t.Eof(); t.Skip()) {
    t.GetString(field, v);
    out += v + "|";
  }
  return out;
}

class FaxStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartTableSession()); }
  TempDir dir;
};

TEST_F(FaxStoreTest, EmptyFolderGetsBothFaxTablesWithEveryTag) {
  TTableEngine out, rec;
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  ASSERT_TRUE(OpenRecFaxDBF(rec, kNotDeletedFilter, dir.path()));
  for (const char* f : {"QLOUT.DBF", "QLOUT.CDX", "QLREC.DBF", "QLREC.CDX"}) EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
  EXPECT_FALSE(std::filesystem::exists(dir / "QLPB.DBF"));
  auto tagsOf = [](TTableEngine& t) {
    std::string s;
    for (const auto& d : t.TagDefinitions())
      s += d.name + "=" + d.keyExpression + (d.descending ? " desc" : "") + " for " + d.forExpression + ";";
    return s;
  };
  EXPECT_EQ(tagsOf(out),
            "DATESENT=DTOS(DATESENT)+TIMESENT desc for .not. deleted();SUBJECT=UPPER(SUBJECT) for .not. deleted();"
            "RECIPIENT=UPPER(RECIPIENT) for .not. deleted();CODES=UPPER(CODES) for .not. deleted();"
            "ARCHIVED=ARCHIVED for .not. deleted();");
  EXPECT_EQ(tagsOf(rec),
            "DATETIME=DTOS(DATEREC)+TIMEREC desc for .not. deleted();FROM=UPPER(FROM) desc for .not. deleted();"
            "ARCHIVED=ARCHIVED for .not. deleted();");
  EXPECT_EQ(out.DBFilter(), ".not. archived");
  EXPECT_EQ(rec.DBFilter(), ".not. deleted()");
  out.Close();
  rec.Close();
  const std::string schema = ql::testing::RunPython(dir, R"(
import dbfread
for name in ('QLOUT.DBF', 'QLREC.DBF'):
    t = dbfread.DBF(')" + dir.path().string() + R"(/' + name)
    print(t.header.language_driver, ' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in t.fields))
)");
  EXPECT_EQ(schema,
            "3 SUBJECT:C:50:0 DATESENT:D:8:0 TIMESENT:C:5:0 RECIPIENT:C:35:0 PHONE:C:25:0 LASTRESULT:C:100:0 "
            "FAXDOC:C:12:0 FAXCOVER:C:12:0 NOTES:C:50:0 CODES:C:25:0 ARCHIVED:L:1:0\n"
            "3 DATEREC:D:8:0 TIMEREC:C:5:0 FROM:C:20:0 PAGES:N:2:0 FAXFILE:C:12:0 NOTES:C:60:0 ARCHIVED:L:1:0\n");
}

TEST_F(FaxStoreTest, LostOrGarbageIndexIsBuiltAgainOnOpen) {
  TTableEngine out;
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  ASSERT_EQ(AppendDriverFax(out, "/elsewhere/DOC00001.APF", "Ann", "Report", "555"), xbOK);
  out.Close();
  std::filesystem::remove(dir / "QLOUT.CDX");
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  EXPECT_EQ(out.TagCount(), 5);
  ql::testing::WriteFile(dir / "QLOUT.CDX", std::string(3000, '\x7f'));
  out.Close();
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  EXPECT_EQ(out.TagCount(), 5);
  ASSERT_EQ(out.SetOrder(out.TagArea("SUBJECT")), xbOK);
  EXPECT_EQ(out.Seek("REP"), 1);
  OutgoingFax row;
  ASSERT_EQ(ReadOutgoing(out, row), xbOK);
  EXPECT_EQ(row.faxDoc, "DOC00001.APF");  // stored without its folder
  // A table that is garbage cannot be opened (the window then reports it).
  out.Close();
  ql::testing::WriteFile(dir / "QLOUT.DBF", "garbage");
  EXPECT_FALSE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
}

TEST_F(FaxStoreTest, DateSentOrderNewestFirstAndNeverSentLast) {
  TTableEngine out;
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  struct Send { const char* subject; const char* result; std::time_t when; };
  const Send sends[] = {{"never", "Busy", At(2024, 3, 1, 9, 0)},
                        {"yesterday", "Sent", At(2024, 3, 1, 23, 59)},
                        {"today-early", "ok", At(2024, 3, 2, 8, 5)},
                        {"today-late", "OK", At(2024, 3, 2, 17, 30)},
                        {"cancelled", "Cancelled", At(2024, 3, 2, 18, 0)}};
  for (const Send& s : sends) {
    ASSERT_EQ(AppendDriverFax(out, "", "", s.subject, ""), xbOK);
    ASSERT_EQ(RecordSendResult(out, s.result, s.when), xbOK);
  }
  ASSERT_EQ(out.SetOrder(out.TagArea("DATESENT")), xbOK);
  const std::string order = Column(out, "SUBJECT");
  EXPECT_TRUE(order == "today-late|today-early|yesterday|never|cancelled|" ||
              order == "today-late|today-early|yesterday|cancelled|never|")
      << order;
  ASSERT_EQ(out.Seek("20240302"), 1);
  OutgoingFax row;
  ASSERT_EQ(ReadOutgoing(out, row), xbOK);
  EXPECT_EQ(row.dateSent, "20240302");
  EXPECT_TRUE(row.timeSent == "08:05" || row.timeSent == "17:30");
  EXPECT_TRUE(IsSentResult("oK"));
  EXPECT_TRUE(IsSentResult("sent"));
  EXPECT_FALSE(IsSentResult("Sent "));
  EXPECT_FALSE(IsSentResult("Cancelled"));
}

TEST_F(FaxStoreTest, ReceivedFromOrderRunsZToAAndPhoneNamesAsTyped) {
  TTableEngine rec, book;
  ASSERT_TRUE(OpenRecFaxDBF(rec, kNotDeletedFilter, dir.path()));
  for (const char* from : {"beta corp", "Zulu", "alpha", "ACME"}) ASSERT_EQ(AppendReceivedFax(rec, from, 3, "FAX0001.APF"), xbOK);
  ASSERT_EQ(rec.SetOrder(rec.TagArea("FROM")), xbOK);
  EXPECT_EQ(Column(rec, "FROM"), "Zulu|beta corp|alpha|ACME|");
  ReceivedFax r;
  rec.GoTop();
  ASSERT_EQ(ReadReceived(rec, r), xbOK);
  EXPECT_EQ(r.pages, 3);
  EXPECT_EQ(r.faxFile, "FAX0001.APF");

  ASSERT_TRUE(OpenPhoneDBF(book, false, dir.path()));
  EXPECT_TRUE(std::filesystem::exists(dir / "QLPB.CDX"));
  EXPECT_EQ(book.TagName(book.IndexOrd()), "NAME");
  for (const char* name : {"bob", "Carl", "alice", "Bob"}) ASSERT_EQ(AppendPhoneEntry(book, {name, "1"}), xbOK);
  EXPECT_EQ(Column(book, "NAME"), "Bob|Carl|alice|bob|");
}

TEST_F(FaxStoreTest, RowOperationsArchiveDeleteAndRebuild) {
  TTableEngine out;
  ASSERT_TRUE(OpenFaxDBF(out, kArchiveFilter, dir.path()));
  const FaxInformation info{"Ann Àrbor", "Quarterly", "555-1234", "call first", "B-7"};
  ASSERT_EQ(AppendCoverSheet(out, info, "COV00001.APF"), xbOK);
  OutgoingFax first;
  ASSERT_EQ(ReadOutgoing(out, first), xbOK);
  EXPECT_EQ(first.recipient, "Ann Àrbor");
  EXPECT_EQ(first.faxCover, "COV00001.APF");
  ASSERT_EQ(AppendClone(out, first, "FAX00002.APF", "COV00002.APF"), xbOK);
  OutgoingFax clone;
  ASSERT_EQ(ReadOutgoing(out, clone), xbOK);
  EXPECT_EQ(clone.subject, "[clone]Quarterly");
  EXPECT_EQ(clone.notes, "");
  ASSERT_EQ(AppendForward(out, {"Bo", std::string(80, 'x'), "1", "n", "c"}, "FWD00001.APF"), xbOK);
  OutgoingFax forward;
  ASSERT_EQ(ReadOutgoing(out, forward), xbOK);
  EXPECT_EQ(forward.subject.size(), 50u);  // cut to the field
  ASSERT_EQ(ClearFaxDoc(out), xbOK);
  ASSERT_EQ(WriteFaxInformation(out, {"Bo", "Fwd", "2", "", ""}), xbOK);
  ASSERT_EQ(ReadOutgoing(out, forward), xbOK);
  EXPECT_EQ(forward.faxDoc, "");
  EXPECT_EQ(forward.subject, "Fwd");
  const uint32_t forwardRow = out.RecNo();

  // Archiving the first row hides it under the archive filter; deleting hides the clone.
  ReturnToRow(out, 1);
  ASSERT_EQ(ToggleArchived(out), xbOK);
  ReturnToRow(out, 2);
  ASSERT_EQ(DeleteRow(out), xbOK);
  EXPECT_EQ(out.QueryRecCount(), 1);
  ASSERT_EQ(out.Query(""), xbOK);
  EXPECT_EQ(out.QueryRecCount(), 2);
  ASSERT_EQ(out.SetOrder(out.TagArea("ARCHIVED")), xbOK);
  EXPECT_EQ(Column(out, "SUBJECT"), "Fwd|Quarterly|");

  // Rebuild: the deleted row is gone for good, the tags are back, the order is kept.
  ASSERT_EQ(out.SetOrder(out.TagArea("RECIPIENT")), xbOK);
  const auto before = std::filesystem::file_size(dir / "QLOUT.DBF");
  std::vector<RebuildStep> steps;
  ASSERT_EQ(RebuildTable(out, OutgoingTags(), [&](RebuildStep s) { steps.push_back(s); }), xbOK);
  EXPECT_EQ(steps, (std::vector<RebuildStep>{RebuildStep::Packing, RebuildStep::Indexing}));
  EXPECT_LT(std::filesystem::file_size(dir / "QLOUT.DBF"), before);
  EXPECT_EQ(out.RecCount(), 2u);
  EXPECT_EQ(out.TagCount(), 5);
  EXPECT_EQ(out.TagName(out.IndexOrd()), "RECIPIENT");
  EXPECT_EQ(Column(out, "RECIPIENT"), "Ann Àrbor|Bo|");
  (void)forwardRow;
}

TEST_F(FaxStoreTest, RebuildReportsProgressOfEachStepToTheGauge) {
  TTableEngine book;
  ASSERT_TRUE(OpenPhoneDBF(book, true, dir.path()));
  for (int i = 0; i < 500; ++i) ASSERT_EQ(AppendPhoneEntry(book, {"n" + std::to_string(i), "1"}), xbOK);
  std::vector<int> reports;
  int starts = 0;
  xb::Env().SetGaugeHook([&](int percent) { reports.push_back(percent); });
  ASSERT_EQ(RebuildTable(book, PhoneTags(), [&](RebuildStep) { reports.push_back(-1), ++starts; }), xbOK);
  xb::Env().SetGaugeHook({});
  ASSERT_EQ(starts, 2);
  // Each step runs from 0 to 100 without going back.
  const auto second = std::find(reports.begin() + 1, reports.end(), -1);
  ASSERT_NE(second, reports.end());
  for (auto [from, to] : {std::pair(reports.begin() + 1, second), std::pair(second + 1, reports.end())}) {
    ASSERT_NE(from, to);
    EXPECT_EQ(*from, 0);
    EXPECT_EQ(*(to - 1), 100);
    EXPECT_TRUE(std::is_sorted(from, to));
  }
  EXPECT_EQ(xb::GaugeKeyForPercent(37), 0x10000 - 37);
}

TEST_F(FaxStoreTest, RebuildWithoutIndexFileIsNoError) {
  TTableEngine rec;
  ASSERT_TRUE(OpenRecFaxDBF(rec, kNotDeletedFilter, dir.path()));
  ASSERT_EQ(AppendReceivedFax(rec, "X", 1, "FAX0001.APF"), xbOK);
  ASSERT_EQ(WriteReceivedNotes(rec, "hello"), xbOK);
  ASSERT_EQ(rec.CloseIndexes(), xbOK);
  std::filesystem::remove(dir / "QLREC.CDX");
  ASSERT_EQ(RebuildTable(rec, ReceivedTags()), xbOK);
  EXPECT_EQ(rec.TagCount(), 3);
  ReceivedFax r;
  rec.GoTop();
  ASSERT_EQ(ReadReceived(rec, r), xbOK);
  EXPECT_EQ(r.notes, "hello");
}

}  // namespace
}  // namespace ql
