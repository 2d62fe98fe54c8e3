// Class 1 receive states: the engine runs T.30 itself. After the answer it sends CSI and
// DIS, reads the far machine's DCS, checks the training, answers FTT or CFR, and after
// every page reads MPS or EOP and answers MCF (or RTN for a page with too many broken
// rows); at the end it waits for DCN and hangs up.

#include "fax_engine/class1/dis_dcs.h"
#include "fax_engine/class1/fcf.h"
#include "fax_engine/class1/frames.h"
#include "fax_engine/class1/training.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kTurnaroundMs = 200;
constexpr int kCarrierGapMs = 20;       // after the training carrier, before CFR
constexpr int32_t kFrameWait = 54;      // ticks for the far machine's frames after DIS
constexpr int32_t kHangUpWait = 54;     // ticks for the modem's OK to ATH
constexpr int kMaxAnswerRetries = 3;
constexpr int kMaxTrainingPerEvent = 10000;
constexpr uint8_t kEom = 0x8F;

// Page data after a good training check: V.17 senders use their short training here
// (the long one is for the training check), so the receiver listens for it.
std::string PageCommand(const ReceiveSession& s) {
  return "AT+FRM=" + class1::ModulationCodeFor(s.modem.SpeedIndex, s.modem.v17, true);
}

bool IsPostPageCommand(uint8_t fcf) {
  return fcf::Is(fcf, fcf::kMps) || fcf::Is(fcf, fcf::kEop) || fcf::Is(fcf, kEom);
}

void FlowOn(ReceiveSession& s) {
  if (s.common.options & foSoftwareFlow) SetSoftwareFlow(s.common.portHandle, 6144, 2048, 0);
}
void FlowOff(ReceiveSession& s) {
  if (s.common.options & foSoftwareFlow) ClearSoftwareFlow(s.common.portHandle);
}

// After a frame's OK: the next frame of the group is asked for with +FRH=3.
ROutcome NextFrameOfGroup(ReceiveSession& s) { return Command(s, "AT+FRH=3", ROutcome::kStay); }

}  // namespace

ROutcome Answered(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) {
    class1::SendIdFrame(s, fcf::kCsi);
    KeepWaiting(s);
    return ROutcome::kCsiSent;
  }
  if (in.Has("VOICE")) return Fail(s, ecFaxVoiceCall);
  return KeepWaiting(s);
}

ROutcome SendDis(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) {
    class1::SendDisFrame(s);
    return KeepWaiting(s);
  }
  if (in.Has("OK")) {
    BusyDelay(kTurnaroundMs);
    BusyDelay(kTurnaroundMs);
    if (const int rc = SendCommand(s, "AT+FRH=3"); rc < 0) return Fail(s, rc);
    ArmTimeout(s, kFrameWait);
    return ROutcome::kDisSent;
  }
  return KeepWaiting(s);
}

ROutcome AwaitDcs(ReceiveSession& s, const RStateInput& in) {
  FaxModemData& m = s.modem;
  if (in.Has("CONNECT")) return KeepWaiting(s);  // a frame follows
  if (!in.Has("OK")) return KeepWaiting(s);
  // Only the far sender's DCS, the last frame of its group, says how it trains.
  if (!m.lastFrameFinal || !fcf::Is(m.lastFcf, fcf::kDcs) || m.ModulationCode.empty()) return NextFrameOfGroup(s);
  m.lastFrameFinal = false;
  FlowOn(s);
  if (const int rc = SendCommandNow(s, "AT+FRM=" + m.ModulationCode); rc < 0) return Fail(s, rc);
  ArmTimer(m.eventTimer, m.ReplyWait);
  return ROutcome::kTrainingExpected;
}

ROutcome AnswerRetry(ReceiveSession& s, const RStateInput&) {
  if (++s.modem.retryCount > kMaxAnswerRetries) return Fail(s, ecTimeout);
  // A character ends the modem's wait for frames; it answers OK.
  return Command(s, "AT\r", ROutcome::kRetried);
}

ROutcome RetryAnswer(ReceiveSession& s, const RStateInput&) { return Command(s, "AT+FTH=3", ROutcome::kRetryCommandSent); }

// NO CARRIER while the modem listens for a fast carrier: the line was cleared, and
// nothing will come; the call ends now rather than at the reply time-out.
namespace {
bool LineCleared(const RStateInput& in) { return in.Has("NO CARRIER"); }
}  // namespace

ROutcome TrainingCarrier(ReceiveSession& s, const RStateInput& in) {
  if (LineCleared(in)) return Fail(s, ecFaxNoCarrier);
  if (!in.Has("CONNECT")) return KeepWaiting(s);
  s.response.Clear();
  s.trainingBytes = 0;
  s.trainingNonZero = 0;
  s.taker.Start(false);
  ArmTimer(s.modem.eventTimer, s.modem.ReplyWait);
  ArmTimeout(s, s.modem.ReplyWait);
  return ROutcome::kTrainingStarted;
}

ROutcome TrainingCheck(ReceiveSession& s, const RStateInput& in) {
  FaxModemData& m = s.modem;
  if (in.event != EventKind::kData || TimerExpired(m.eventTimer)) return Fail(s, ecTimeout);
  const int port = s.common.portHandle;
  bool ended = false;
  for (int n = 0; n < kMaxTrainingPerEvent && !ended && CharReady(port) == 1; ++n) {
    const int c = ReadChar(port);
    if (c < 0) break;
    ended = s.taker.Take(static_cast<uint8_t>(c), [&](uint8_t byte) {
      ++s.trainingBytes;
      if (byte != 0) ++s.trainingNonZero;
    });
  }
  if (!ended) return ROutcome::kStay;
  const bool good = class1::TrainingCountsAreGood(static_cast<size_t>(s.trainingBytes),
                                                  static_cast<size_t>(s.trainingNonZero));
  s.log.Note("training check at " + std::to_string(m.sessionBps.load()) + " bit/s: " +
             std::to_string(s.trainingNonZero) + " of " + std::to_string(s.trainingBytes) + " bytes not zero, " +
             (good ? "good" : "failed"));
  if (good) {
    ClearResponse(s);
    return ROutcome::kTrainingGood;
  }
  return Command(s, "AT+FTH=3", ROutcome::kTrainingBad);
}

ROutcome SendFtt(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) {
    class1::SendSimpleFrame(s, fcf::kFtt);
    // Below 2400 bit/s there is nothing left to fall back to.
    if (s.modem.SpeedIndex <= 1) return Fail(s, ecFaxTrainError);
    return KeepWaiting(s);
  }
  if (in.Has("OK")) return Command(s, "AT+FRH=3", ROutcome::kAwaitNewDcs);
  return KeepWaiting(s);
}

ROutcome TrainingEnded(ReceiveSession& s, const RStateInput& in) {
  if (!in.Has("RRIER")) return KeepWaiting(s);
  FlowOff(s);
  BusyDelay(kCarrierGapMs);
  return Command(s, "AT+FTH=3", ROutcome::kCfrCommandSent);
}

ROutcome SendCfr(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) {
    FlowOn(s);
    class1::SendSimpleFrame(s, fcf::kCfr);
    return KeepWaiting(s);
  }
  if (!in.Has("OK")) return KeepWaiting(s);
  if (const int rc = SendCommandNow(s, PageCommand(s)); rc < 0) return Fail(s, rc);
  // The first training of the call asks to take it; a later one finds the file there.
  const ROutcome next = AcceptAndCreateFile(s, ROutcome::kPageExpected);
  if (next == ROutcome::kPageExpected) s.pageDisposition = pdSameFile;
  return next;
}

ROutcome PageCarrier(ReceiveSession& s, const RStateInput& in) {
  if (LineCleared(in)) return Fail(s, ecFaxNoCarrier);
  if (!in.Has("CONNECT")) return KeepWaiting(s);
  SetProgress(s, fpSessionParams);
  s.response.Clear();
  return ROutcome::kPageCarrierUp;
}

ROutcome PageCarrierEnded(ReceiveSession& s, const RStateInput& in) {
  if (!in.Has("RRIER")) return KeepWaiting(s);
  return Command(s, "AT+FRH=3", ROutcome::kPostPageCommand);
}

ROutcome PostPage(ReceiveSession& s, const RStateInput& in) {
  FaxModemData& m = s.modem;
  if (in.Has("CONNECT")) return KeepWaiting(s);
  if (!in.Has("OK")) return KeepWaiting(s);
  if (!m.lastFrameFinal || !IsPostPageCommand(m.lastFcf)) return NextFrameOfGroup(s);
  m.lastFrameFinal = false;
  m.morePages = fcf::Is(m.lastFcf, fcf::kMps);
  m.pageReceivedOk = true;
  SetProgress(s, fpGetPageResult);
  return ROutcome::kPostPageReceived;
}

ROutcome PageEnd(ReceiveSession& s, const RStateInput&) {
  FaxCommon& c = s.common;
  // A page with too many broken rows is dropped and asked for again (RTN): the far
  // machine trains again and sends the same page, which takes its place and number.
  s.pageRejected = !s.rows.PageIsGood();
  if (s.pageRejected) {
    s.log.Note("page " + std::to_string(c.currentPage.load()) + " rejected: " + std::to_string(s.rows.BrokenRows()) +
               " of " + std::to_string(s.rows.Rows()) + " rows broken");
    if (const int rc = s.file.CutBackPage(); rc < 0) return Fail(s, rc);
    c.currentPage = c.currentPage - 1;
    s.modem.pageReceivedOk = false;
  } else if (const int rc = EndPageInFile(s); rc < 0) {
    return Fail(s, rc);
  } else if (!s.modem.morePages) {
    // The last page is in: the fax is complete, and kept whatever the rest of the call does.
    FinishFile(s);
  }
  if (const int rc = SendCommand(s, "AT+FTH=3"); rc < 0) return Fail(s, rc);
  SetProgress(s, fpCheckMorePages);
  return ROutcome::kPageAnswered;
}

ROutcome SendPageAnswer(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) {
    class1::SendSimpleFrame(s, s.pageRejected ? fcf::kRtn : fcf::kMcf);
    return KeepWaiting(s);
  }
  if (!in.Has("OK")) return KeepWaiting(s);
  if (s.pageRejected) return Command(s, "AT+FRH=3", ROutcome::kAwaitNewDcs);
  if (s.modem.morePages) {
    s.pageDisposition = pdSameFile;
    if (const int rc = SendCommandNow(s, PageCommand(s)); rc < 0) return Fail(s, rc);
    return ROutcome::kNextPage;
  }
  BusyDelay(kTurnaroundMs);
  return Command(s, "AT+FRH=3", ROutcome::kLastPage);
}

ROutcome AwaitDcn(ReceiveSession& s, const RStateInput& in) {
  if (in.Has("CONNECT")) return KeepWaiting(s);
  if (!in.Has("OK")) return KeepWaiting(s);
  if (!s.modem.lastFrameFinal) return NextFrameOfGroup(s);
  if (const int rc = SendCommand(s, "ATH"); rc < 0) return Fail(s, rc);
  ArmTimeout(s, kHangUpWait);
  return ROutcome::kHangUpSent;
}

ROutcome HangingUp(ReceiveSession& s, const RStateInput& in) {
  if (!in.Has("OK")) return KeepWaiting(s);
  SetProgress(s, fpGotHangup);
  return ROutcome::kHungUp;
}

}  // namespace ql
