// Class 1 calls to the virtual line's remote fax machine (spandsp's T.30 terminal): the
// engine runs T.30 itself, at every rate, at both resolutions.

#include "fax_engine/tests/interop/call_fixture.h"
#include "serial/errors/error_codes.h"

namespace ql::testing {
namespace {

struct Rate {
  int bps;
  int pages;
  bool fine;
};

void PrintTo(const Rate& r, std::ostream* os) { *os << r.bps << (r.fine ? " fine " : " normal ") << r.pages; }

class Class1ToRemote : public CallTest, public ::testing::WithParamInterface<Rate> {};

TEST_P(Class1ToRemote, KeepsExactlyOurPagesWithTheirHeaders) {
  const Rate rate = GetParam();
  StartLine();
  const auto apf = WriteLetter(dir.path(), "letter", {rate.pages, rate.pages > 1 ? 14 : 10, rate.fine, false});
  Configure(fcClass1, rate.bps, "200", apf);
  const RunResult r = call->Run(300);
  ExpectSent(r);
  EXPECT_EQ(call->fax.RemoteID(), kRemoteId);
  EXPECT_EQ(call->fax.SessionBPS(), rate.bps);
  const auto record = ExpectRemoteRecord(rate.pages, rate.bps, rate.fine);
  ExpectPagesKept(ReadTiffPages(record.at("tiff")), apf, rate.fine, 1728);
}

INSTANTIATE_TEST_SUITE_P(Rates, Class1ToRemote,
                         ::testing::Values(Rate{14400, 3, false}, Rate{14400, 3, true}, Rate{9600, 3, false},
                                           Rate{9600, 3, true}, Rate{4800, 1, false}, Rate{4800, 1, true},
                                           Rate{2400, 1, false}, Rate{2400, 1, true}),
                         [](const auto& test) {
                           return std::to_string(test.param.bps) + (test.param.fine ? "Fine" : "Normal") +
                                  std::to_string(test.param.pages) + "Pages";
                         });

TEST_F(CallTest, TextCoverThenFaxFile) {
  StartLine();
  const auto apf = WriteLetter(dir.path(), "letter", {1, 8, false, false});
  const auto cover = WriteText(dir.path(), "cover.txt", 6);
  Configure(fcClass1, 14400, "200", apf);
  call->fax.SetCoverFile(cover.string());
  const RunResult r = call->Run(240);
  ExpectSent(r);
  const auto record = ExpectRemoteRecord(2, 14400, false);
  const auto kept = ReadTiffPages(record.at("tiff"));
  ExpectPagesKept(kept, apf, false, 1728, 1);
  // The cover page: the header, then the text lines drawn with the standard font.
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].size(), 8u + 8u + 6u * 16u);
}

TEST_F(CallTest, AWidePageTheRemoteCannotTakeEndsTheFax) {
  StartLine();
  const auto apf = WriteLetter(dir.path(), "wide", {1, 4, false, true});
  Configure(fcClass1, 14400, "200", apf);
  const RunResult r = call->Run(120);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.finishCode, ecFaxBadMachine) << Trace();
  EXPECT_TRUE(r.portReleased);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitFail}));
  EXPECT_NE(call->History().find("Transmit failed at "), std::string::npos);
}

}  // namespace
}  // namespace ql::testing
