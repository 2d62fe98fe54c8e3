// Calls that go wrong, made with the virtual line's faults: each ends with its error
// code, gives the port back, tells the truth in the history, and the next fax of the
// series still goes.

#include <regex>

#include "fax_engine/session/status_texts.h"
#include "fax_engine/tests/interop/call_fixture.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"

namespace ql::testing {
namespace {

class Fault : public CallTest {
 protected:
  // A series of two short faxes to the remote: the first meets the fault. The first goes
  // to `firstNumber`: 101 is a second modem nobody answers (for faults of the ringing).
  void StartSeries(const std::string& classes = "", int bps = 14400, const std::string& firstNumber = "200") {
    StartLine(classes, {"ttyFAX1=101"});
    first = WriteLetter(dir.path(), "first", {1, 4, false, false});
    second = WriteLetter(dir.path(), "second", {1, 5, false, false});
    call->fax.SetFaxClass(classes.empty() ? fcClass1 : fcClass2_0);
    call->fax.SetDesiredBPS(static_cast<uint16_t>(bps));
    call->Series({{firstNumber, first.string()}, {"200", second.string()}});
  }
  void Order(const std::string& fault) { ASSERT_EQ(line->Control("fault " + fault).rfind("OK", 0), 0u) << fault; }

  // The first fax failed with `code`, the second was sent and kept.
  void ExpectFailedThenSent(const RunResult& r, int code) {
    ASSERT_TRUE(r.finished) << Trace();
    EXPECT_EQ(r.finishCode, code) << Trace();
    EXPECT_NE(std::find(r.errors.begin(), r.errors.end(), code), r.errors.end()) << Trace();
    EXPECT_TRUE(r.portReleased);
    EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitFail, lfaxTransmitStart, lfaxTransmitOk}))
        << Trace();
    const std::string history = call->History();
    const size_t failed = history.find("Transmit failed at ");
    const size_t reason = history.find("  (" + ErrorText(code) + ") ");
    const size_t sent = history.find("Transmit to " + std::string(kRemoteId) + " finished OK at ");
    EXPECT_NE(failed, std::string::npos) << history;
    EXPECT_NE(reason, std::string::npos) << history;
    EXPECT_NE(sent, std::string::npos) << history;
    EXPECT_LT(failed, sent) << history;
    const auto records = line->Records("200");
    ASSERT_FALSE(records.empty()) << Trace();
    auto last = records.back();
    EXPECT_EQ(last["pages"], "1");
    EXPECT_EQ(last["result"], "0");
    ExpectPagesKept(ReadTiffPages(last["tiff"]), second, false, 1728);
  }
  int Count(const std::string& text, const std::string& what) const {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  std::filesystem::path first, second;
};

// Busy three times: three dials with the retry wait between, then -8074 and the next fax.
TEST_F(Fault, BusyRedialsDialAttemptsTimesWithTheWaitBetween) {
  StartSeries();
  call->fax.SetDialAttempts(3);
  call->fax.SetDialRetryWait(3);
  Order("200 busy");
  int orderedFor = 1;
  const RunResult r = call->Run(300, [&](SendCall& c) {
    // Each dial of the first fax meets a busy line: order it again while it waits.
    if (c.fax.FaxProgress() == fpBusyWait && c.fax.DialAttempt() > orderedFor && c.fax.DialAttempt() <= 3) {
      orderedFor = c.fax.DialAttempt();
      Order("200 busy");
    }
  });
  ExpectFailedThenSent(r, ecFaxBusy);
  const std::string log = ReadFile(dir / "session.log");
  EXPECT_EQ(Count(log, "-> ATDT200"), 4);  // three busy, one for the second fax
  // The dials of the first fax stand at least the retry wait (3 s) apart.
  std::vector<double> at;
  const std::regex dial(R"((\d\d):(\d\d):(\d\d)\.(\d\d\d) -> ATDT200)");
  for (std::sregex_iterator it(log.begin(), log.end(), dial), end; it != end; ++it)
    at.push_back(std::stoi((*it)[1]) * 3600 + std::stoi((*it)[2]) * 60 + std::stoi((*it)[3]) + std::stoi((*it)[4]) / 1000.0);
  ASSERT_GE(at.size(), 3u);
  EXPECT_GE(at[1] - at[0], 3.0);
  EXPECT_GE(at[2] - at[1], 3.0);
}

// DialAttempts 0: the number is dialled again and again until the user cancels.
TEST_F(Fault, DialAttemptsZeroRedialsUntilCancelled) {
  StartSeries();
  call->fax.SetDialAttempts(0);
  call->fax.SetDialRetryWait(1);
  Order("200 busy");
  int orderedFor = 1;
  bool cancelled = false;
  const RunResult r = call->Run(200, [&](SendCall& c) {
    if (c.fax.FaxProgress() != fpBusyWait || c.fax.DialAttempt() <= orderedFor) return;
    orderedFor = c.fax.DialAttempt();
    if (orderedFor <= 4) Order("200 busy");
    else if (!cancelled) {
      cancelled = true;
      c.fax.CancelFax();
    }
  });
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, ecCancelRequested);
  EXPECT_EQ(call->fax.FaxProgress(), fpCancel);
  EXPECT_TRUE(r.portReleased);
  EXPECT_EQ(Count(ReadFile(dir / "session.log"), "-> ATDT200"), 4);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitFail}));
  EXPECT_EQ(line->Records("200").size(), 0u);
}

TEST_F(Fault, NoAnswerIsTreatedAsABusyLine) {
  StartSeries("", 14400, "101");
  call->fax.SetDialAttempts(1);
  Order("101 noanswer 3");
  ExpectFailedThenSent(call->Run(240), ecFaxBusy);
}

TEST_F(Fault, AVoiceAnswer) {
  StartSeries("", 14400, "101");
  Order("101 voice");
  ExpectFailedThenSent(call->Run(240), ecFaxVoiceCall);
}

TEST_F(Fault, NoDialTone) {
  StartSeries();
  Order("100 nodialtone");
  ExpectFailedThenSent(call->Run(240), ecFaxNoDialTone);
}

// The far machine refuses our parameters and clears the call while our training check
// is still on the line, so its DCN is never heard: the modem's silence ends the fax.
TEST_F(Fault, TheFarMachineDisconnectsAfterTheParameters) {
  StartSeries();
  Order("200 dcn");
  ExpectFailedThenSent(call->Run(240), ecTimeout);
}

TEST_F(Fault, CarrierLostInAPage) {
  StartSeries();
  Order("200 carrier");
  ExpectFailedThenSent(call->Run(300), ecTimeout);
}

TEST_F(Fault, TrainingFailsAtARateAndTheRateStepsDown) {
  StartSeries();
  Order("200 train 14400");
  const RunResult r = call->Run(300);
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, 0) << Trace();
  EXPECT_EQ(call->fax.SessionBPS(), 14400);  // the second fax trains at the top rate again
  const auto records = line->Records("200");
  ASSERT_EQ(records.size(), 2u) << Trace();
  EXPECT_EQ(records[0].at("bit_rate"), "12000");
  EXPECT_EQ(records[0].at("pages"), "1");
}

TEST_F(Fault, TrainingFailingAt2400EndsTheFax) {
  StartSeries("", 2400);
  Order("200 train 2400");
  ExpectFailedThenSent(call->Run(400), ecFaxTrainError);
}

TEST_F(Fault, APageRejectedIsSentAgainFromItsStart) {
  StartSeries();
  Order("100 rtn");
  const RunResult r = call->Run(300);
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, 0) << Trace();
  EXPECT_NE(ReadFile(dir / "session.log").find("page rejected: sent again (1 of 2)"), std::string::npos) << Trace();
  const auto records = line->Records("200");
  ASSERT_EQ(records.size(), 2u) << Trace();
  EXPECT_EQ(records[0].at("pages"), "1");
  ExpectPagesKept(ReadTiffPages(records[0].at("tiff")), first, false, 1728);
}

TEST_F(Fault, CancelDuringAPageHangsUpAndEndsTheRun) {
  StartLine();
  const auto apf = WriteLetter(dir.path(), "long", {2, 30, true, false});
  Configure(fcClass1, 4800, "200", apf);
  bool cancelled = false;
  const RunResult r = call->Run(240, [&](SendCall& c) {
    if (!cancelled && c.fax.FaxProgress() == fpSendPage && c.fax.BytesTransferred() > 0) {
      cancelled = true;
      c.fax.CancelFax();
    }
  });
  ASSERT_TRUE(cancelled) << Trace();
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, ecCancelRequested);
  EXPECT_EQ(call->fax.FaxProgress(), fpCancel);
  EXPECT_TRUE(r.portReleased);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitFail}));
  EXPECT_NE(call->History().find("(" + ErrorText(ecCancelRequested) + ")"), std::string::npos);
  // The modem is back in command mode, on hook.
  call->port.SendString("AT\r");
  EXPECT_TRUE(call->port.AwaitString("OK", 90, false, true)) << Trace();
}

// Class 2.0: the far machine's rejection arrives as ERROR; +FPS? tells the status
// before its OK, and the page goes again.
TEST_F(Fault, Class20PageRejectedIsSentAgain) {
  StartSeries("1+2+2.0");
  Order("100 rtn");
  const RunResult r = call->Run(300);
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, 0) << Trace();
  const auto records = line->Records("200");
  ASSERT_EQ(records.size(), 2u) << Trace();
  EXPECT_EQ(records[0].at("pages"), "1");
  ExpectPagesKept(ReadTiffPages(records[0].at("tiff")), first, false, 1728);
}

}  // namespace
}  // namespace ql::testing
