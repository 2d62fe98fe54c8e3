// Class 2 and Class 2.0 calls: the virtual line's modem runs T.30 itself (on a Class 1
// modem of its own) and reports to the engine with +F reports; the far machine is the
// remote fax.

#include "fax_engine/tests/interop/call_fixture.h"

namespace ql::testing {
namespace {

struct Case {
  TFaxClass faxClass;
  int pages;
  bool fine;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << (c.faxClass == fcClass2 ? "Class 2 " : "Class 2.0 ") << c.pages << (c.fine ? " fine" : " normal");
}

class ModemSession : public CallTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ModemSession, KeepsExactlyOurPagesWithTheirHeaders) {
  const Case c = GetParam();
  StartLine("1+2+2.0");
  const auto apf = WriteLetter(dir.path(), "letter", {c.pages, c.pages > 1 ? 14 : 10, c.fine, false});
  Configure(c.faxClass, 14400, "200", apf);
  const RunResult r = call->Run(300);
  ExpectSent(r);
  EXPECT_EQ(call->fax.RemoteID(), kRemoteId);
  EXPECT_EQ(call->fax.SessionBPS(), 14400);
  EXPECT_EQ(call->fax.SessionFine(), c.fine);
  const auto record = ExpectRemoteRecord(c.pages, 14400, c.fine);
  ExpectPagesKept(ReadTiffPages(record.at("tiff")), apf, c.fine, 1728);
}

INSTANTIATE_TEST_SUITE_P(Classes, ModemSession,
                         ::testing::Values(Case{fcClass2, 3, false}, Case{fcClass2, 1, true}, Case{fcClass2_0, 3, false},
                                           Case{fcClass2_0, 1, true}),
                         [](const auto& test) {
                           return std::string(test.param.faxClass == fcClass2 ? "Class2" : "Class20") +
                                  (test.param.fine ? "Fine" : "Normal") + std::to_string(test.param.pages) + "Pages";
                         });

// The class is found out when it is not given: a modem with all three gets Class 2.0.
TEST_F(CallTest, DetectedClassOfAModemWithAllThree) {
  StartLine("1+2+2.0");
  const auto apf = WriteLetter(dir.path(), "letter", {1, 6, false, false});
  Configure(fcDetect, 9600, "200", apf);
  const RunResult r = call->Run(240);
  ExpectSent(r);
  EXPECT_EQ(call->fax.FaxClass(), fcClass2_0);
  ExpectRemoteRecord(1, 9600, false);
}

}  // namespace
}  // namespace ql::testing
