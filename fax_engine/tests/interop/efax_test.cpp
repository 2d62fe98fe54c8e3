// Class 1 calls to efax, an independent fax program, waiting for a call on a second
// virtual modem: it keeps each page it receives as a TIFF file.

#include "fax_engine/tests/interop/call_fixture.h"

namespace ql::testing {
namespace {

constexpr const char* kEfaxId = "EFAX REMOTE";

class ToEfax : public CallTest {
 protected:
  void SendTo(const LetterShape& shape, int bps, const std::string& capabilities) {
    StartLine("", {"ttyFAX1=101"});
    EfaxReceiver efax(line->Link("ttyFAX1"), dir / "received", kEfaxId, capabilities);
    const auto apf = WriteLetter(dir.path(), "letter", shape);
    Configure(fcClass1, bps, "101", apf);
    const RunResult r = call->Run(300);
    EXPECT_EQ(efax.Wait(30), 0) << efax.Log();
    ExpectSent(r);
    EXPECT_EQ(call->fax.RemoteID(), kEfaxId);
    EXPECT_EQ(call->fax.SessionBPS(), bps);
    // efax tells whom it talked to.
    EXPECT_NE(efax.Log().find(kOurId), std::string::npos) << efax.Log();
    ExpectPagesKept(ReadTiffFiles(efax.Pages()), apf, shape.fine, shape.wide ? 2048 : 1728);
  }
};

TEST_F(ToEfax, ThreePagesAt14400) { SendTo({3, 14, false, false}, 14400, ""); }

TEST_F(ToEfax, AWideFinePageAt9600) { SendTo({1, 8, true, true}, 9600, "1,5,1,2,0,0,0,0"); }

TEST_F(ToEfax, OnePageAt2400) { SendTo({1, 8, false, false}, 2400, ""); }

}  // namespace
}  // namespace ql::testing
