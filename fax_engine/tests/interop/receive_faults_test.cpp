// Calls that go wrong on the virtual line: the carrier lost in the middle of a page, a
// Class 2 modem that reports the far machine gone mid-page, a page the modem asks for
// again, a call the component refuses. Each ends with its code and leaves no partial
// file; the next call is answered and kept.

#include "fax_engine/tests/interop/receive_fixture.h"
#include "serial/errors/error_codes.h"

namespace ql::testing {
namespace {

class ReceiveFaults : public ReceiveTest {
 protected:
  // The first call goes wrong as ordered, the second is a good one.
  ReceiveRun FaultThenGoodCall(const std::string& fault, const std::filesystem::path& first,
                               const std::filesystem::path& second) {
    if (!fault.empty()) line->Control("fault 100 " + fault);
    return RunCalls(2, 420, [&](size_t n) { FarMachineSends(n == 0 ? first : second, n == 0 ? "FIRST" : kSenderId); });
  }
  // The failed call left nothing; the good one is kept whole.
  void ExpectFailedThenKept(const ReceiveRun& r, int code, const std::filesystem::path& good) {
    ASSERT_FALSE(r.errors.empty()) << Trace();
    EXPECT_EQ(r.errors.front(), code) << Trace();
    ASSERT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveFail, lfaxReceiveStart, lfaxReceiveOk}))
        << Trace();
    // The file of the failed call held no page that was not complete.
    ASSERT_EQ(r.failedPageCounts.size(), 1u);
    EXPECT_EQ(r.failedPageCounts.front(), 0);
    ASSERT_EQ(r.kept.size(), 1u);
    ExpectKept(r.kept.front(), good);
    ExpectOnlyKeptFiles(r);
    EXPECT_NE(call->History().find("Receive failed at "), std::string::npos) << call->History();
  }
};

TEST_F(ReceiveFaults, CarrierLostInAPageClass1) {
  StartLine();
  call->fax.SetFaxClass(fcClass1);
  call->fax.SetDesiredBPS(14400);
  const auto first = Document("first", {1, 10, true, false});
  const auto good = Document("good", {1, 6, false, false});
  const ReceiveRun r = FaultThenGoodCall("carrier", first, good);
  // The page ended without its post-page command: the far machine never said it.
  ExpectFailedThenKept(r, ecTimeout, good);
}

TEST_F(ReceiveFaults, FarMachineGoneInAPageClass2) {
  StartLine("1+2");
  call->fax.SetFaxClass(fcClass2);
  const auto first = Document("first", {1, 10, true, false});
  const auto good = Document("good", {1, 6, false, false});
  const ReceiveRun r = FaultThenGoodCall("carrier", first, good);
  // The modem reports the call over in the middle of the page.
  ExpectFailedThenKept(r, ecFaxSessionError, good);
  EXPECT_NE(SessionLog().find("+FHNG:"), std::string::npos);
}

TEST_F(ReceiveFaults, APageTheModemRejectsIsReceivedAgainInItsPlace) {
  StartLine("1+2+2.0");
  call->fax.SetFaxClass(fcClass2);
  line->Control("fault 100 rtn");
  const auto tiff = Document("letter", {3, 8, false, false});
  const ReceiveRun r = ReceiveOne(tiff);
  ASSERT_EQ(r.kept.size(), 1u) << Trace();
  EXPECT_NE(SessionLog().find("page 1 reported bad: received again"), std::string::npos) << Trace();
  ExpectKept(r.kept.front(), tiff);
}

TEST_F(ReceiveFaults, ARefusedCallIsSkippedAndTheNextTaken) {
  StartLine();
  call->fax.SetFaxClass(fcClass1);
  int asked = 0;
  call->fax.OnFaxAccept = [&](TCustomAbstractFax&, bool& accept) { accept = asked++ > 0; };
  const auto first = Document("first", {1, 6, false, false});
  const auto good = Document("good", {1, 6, false, false});
  const ReceiveRun r = FaultThenGoodCall("", first, good);
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors.front(), ecFileRejected);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveSkip, lfaxReceiveStart, lfaxReceiveOk})) << Trace();
  EXPECT_NE(call->History().find("Receive skipped at "), std::string::npos);
  ASSERT_EQ(r.kept.size(), 1u);
  ExpectKept(r.kept.front(), good);
  ExpectOnlyKeptFiles(r);
}

}  // namespace
}  // namespace ql::testing
