// Far machines call our modem: the virtual line's remote fax machines (spandsp's T.30
// terminal) and efax on a second virtual modem send to us through a Class 1 modem at
// every rate a sender falls back through, and through the Class 2 and 2.0 modems'
// own sessions; the file we keep decodes to exactly the pages sent.

#include "fax_engine/tests/interop/receive_fixture.h"

namespace ql::testing {
namespace {

struct Rate {
  int desired;              // DesiredBPS: what our DIS offers
  std::vector<int> spoilt;  // training checks the line spoils: the sender falls back
  int bps;                  // the rate the page comes at
  const char* dcs;          // how the session log names the DCS that carried it
  int pages;
  bool fine;
};

void PrintTo(const Rate& r, std::ostream* os) { *os << r.dcs << (r.fine ? " fine " : " normal ") << r.pages; }

class Class1FromRemote : public ReceiveTest, public ::testing::WithParamInterface<Rate> {};

TEST_P(Class1FromRemote, KeepsExactlyThePagesSent) {
  const Rate rate = GetParam();
  StartLine();
  for (int bps : rate.spoilt) line->Control("fault 100 train " + std::to_string(bps));
  call->fax.SetFaxClass(fcClass1);
  call->fax.SetDesiredBPS(static_cast<uint16_t>(rate.desired));
  const auto tiff = Document("letter", {rate.pages, rate.pages > 1 ? 10 : 6, rate.fine, false});
  const ReceiveRun r = ReceiveOne(tiff);
  ASSERT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveOk})) << Trace();
  EXPECT_EQ(call->fax.SessionBPS(), rate.bps) << Trace();
  EXPECT_EQ(call->fax.SessionFine(), rate.fine);
  EXPECT_EQ(r.remoteIds.front(), kSenderId);
  EXPECT_NE(SessionLog().find(std::string("DCS: ") + rate.dcs), std::string::npos) << Trace();
  ExpectKept(r.kept.front(), tiff);
  ExpectOnlyKeptFiles(r);
  EXPECT_TRUE(r.portReleased);
  // The far machine kept the call as a success, and heard our ID.
  const std::string record = RemoteRecord("901");
  EXPECT_NE(record.find("result=0"), std::string::npos) << record;
  EXPECT_NE(record.find(std::string("remote_id=") + kReceiverId), std::string::npos) << record;
}

INSTANTIATE_TEST_SUITE_P(
    Rates, Class1FromRemote,
    ::testing::Values(Rate{14400, {}, 14400, "V.17 14400", 3, false}, Rate{14400, {}, 14400, "V.17 14400", 1, true},
                      Rate{14400, {14400}, 12000, "V.17 12000", 1, true},
                      Rate{14400, {14400, 12000}, 9600, "V.17 9600", 1, false},
                      Rate{14400, {14400, 12000, 9600}, 7200, "V.17 7200", 1, false},
                      Rate{9600, {}, 9600, "V.29 9600", 3, true}, Rate{9600, {9600}, 7200, "V.29 7200", 1, false},
                      Rate{4800, {}, 4800, "V.27ter 4800", 1, true},
                      Rate{4800, {4800}, 2400, "V.27ter 2400", 1, false}),
    [](const auto& test) {
      std::string name = test.param.dcs;
      name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }), name.end());
      return name + (test.param.fine ? "Fine" : "Normal") + std::to_string(test.param.pages) + "Pages";
    });

TEST_F(ReceiveTest, FromEfax) {
  StartLine("", {"ttyFAX1=101"});
  call->fax.SetFaxClass(fcClass1);
  call->fax.SetDesiredBPS(14400);
  // efax sends a file a page.
  const auto tiff = Document("letter", {2, 8, false, false});
  std::vector<std::string> args = {"/usr/bin/efax", "-d", line->Link("ttyFAX1").string(), "-o1", "-h", "", "-l",
                                   "EFAX SENDER", "-v", "ewinc", "-t", "100"};
  const std::vector<Raster>& pages = documents.at(tiff.string());
  for (size_t p = 0; p < pages.size(); ++p) {
    const auto file = dir / ("efax-page" + std::to_string(p + 1) + ".tif");
    WriteTiffPages(file, {pages[p]}, false);
    args.push_back(file.string());
  }
  pid_t efax = -1;
  const ReceiveRun r = RunCalls(1, 300, [&](size_t) { efax = Spawn(args, dir / "efax.log"); });
  EXPECT_EQ(WaitForExit(efax, 60), 0) << ReadFile(dir / "efax.log");
  ASSERT_EQ(r.kept.size(), 1u) << Trace() << ReadFile(dir / "efax.log");
  // efax puts a band of 20 rows (its header line) on top of each page.
  ExpectKept(r.kept.front(), tiff, 20, "EFAX SENDER");
  EXPECT_NE(ReadFile(dir / "efax.log").find(kReceiverId), std::string::npos);
}

struct Class2Case {
  const char* classes;
  TFaxClass faxClass;
  int pages;
  bool fine;
};

class Class2FromRemote : public ReceiveTest, public ::testing::WithParamInterface<Class2Case> {};

TEST_P(Class2FromRemote, KeepsExactlyThePagesSent) {
  const Class2Case c = GetParam();
  StartLine(c.classes);
  call->fax.SetFaxClass(c.faxClass);
  call->fax.SetDesiredBPS(14400);
  const auto tiff = Document("letter", {c.pages, c.pages > 1 ? 10 : 6, c.fine, false});
  const ReceiveRun r = ReceiveOne(tiff);
  ASSERT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveOk})) << Trace();
  EXPECT_EQ(call->fax.SessionBPS(), 14400);
  EXPECT_EQ(call->fax.SessionFine(), c.fine);
  EXPECT_EQ(call->fax.HangupCode(), 0);
  ExpectKept(r.kept.front(), tiff);
  const std::string record = RemoteRecord("901");
  EXPECT_NE(record.find("result=0"), std::string::npos) << record;
}

INSTANTIATE_TEST_SUITE_P(Classes, Class2FromRemote,
                         ::testing::Values(Class2Case{"1+2", fcClass2, 1, true}, Class2Case{"1+2", fcClass2, 3, false},
                                           Class2Case{"1+2+2.0", fcClass2_0, 1, false},
                                           Class2Case{"1+2+2.0", fcClass2_0, 3, true}),
                         [](const auto& test) {
                           return std::string(test.param.faxClass == fcClass2 ? "Class2" : "Class20") +
                                  (test.param.fine ? "Fine" : "Normal") + std::to_string(test.param.pages) + "Pages";
                         });

}  // namespace
}  // namespace ql::testing
