// Receive states from the start of each call to the answer: the modem is set up for
// the class in use, waits for rings, and answers on the ring asked for.

#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/speed_tables.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

// Rings further apart than this belong to different calls: the count starts again, so
// a caller who gave up does not make the next call answered early.
constexpr int32_t kRingGapTicks = 182;  // 10 s

// A wait-OK state: OK does the state's action, any other line is a refused command.
template <typename Action>
ROutcome OnOk(ReceiveSession& s, const RStateInput& in, Action action) {
  if (!in.IsLine()) return ROutcome::kStay;
  if (in.Has("OK")) return action();
  return Fail(s, ecFaxInitError);
}

void TimeoutOff(ReceiveSession& s) {
  if (s.common.timeoutTimer > 0) ArmTimerTrigger(s.common.portHandle, s.common.timeoutTimer, 0, false);
}

ROutcome ReadyForCalls(ReceiveSession& s) {
  TimeoutOff(s);
  SetProgress(s, fpWaiting, false);
  return ROutcome::kOk;
}

}  // namespace

ROutcome Start(ReceiveSession& s, const RStateInput&) {
  FaxCommon& c = s.common;
  FaxModemData& m = s.modem;
  s.response.Clear();
  s.response.ExpectFrames(IsClass1(s));
  s.pageDisposition = pdNextFile;
  s.accepted = false;
  s.pageRejected = false;
  s.file.Close();
  c.currentPage = 0;
  c.bytesTransferred = 0;
  c.faxFile.clear();
  c.phoneNumber.clear();
  c.SetRemoteID("");
  // Each call is judged on its own: an error of an earlier call is not this one's.
  c.LastError = 0;
  m.ringCount = 0;
  m.pageReceivedOk = false;
  m.morePages = false;
  m.HangupCode = 0;
  m.ModulationCode.clear();
  m.lastFcf = 0;
  m.lastFrameFinal = false;
  if (s.ConstantStatus) Announce(s);
  if (c.options & foSoftwareFlow) ClearSoftwareFlow(c.portHandle);
  SetModemLines(c.portHandle, true, true);
  if (IsClass1(s)) return Command(s, "AT+FCLASS=1", ROutcome::kClass1Chosen);
  return Command(s, m.commands.selectClass, ROutcome::kClass2Chosen);
}

ROutcome Class1Selected(ReceiveSession& s, const RStateInput& in) {
  return OnOk(s, in, [&] {
    SwitchToNormalBaud(s);
    return ReadyForCalls(s);
  });
}

ROutcome Class2Selected(ReceiveSession& s, const RStateInput& in) {
  return OnOk(s, in, [&] {
    SwitchToNormalBaud(s);
    const FaxModemData& m = s.modem;
    const std::string capabilities = m.commands.capabilities + "=1," + Class2RateDigit(m.DesiredBPS) + ",0,2,0," +
                                     m.DesiredECM + ",0,0";
    return Command(s, capabilities,
                   s.common.FaxClass == fcClass2_0 ? ROutcome::kCapabilities20 : ROutcome::kCapabilities2);
  });
}

ROutcome CapabilitiesSet(ReceiveSession& s, const RStateInput& in) {
  return OnOk(s, in, [&] { return Command(s, "AT+FLO=2", ROutcome::kOk); });
}

ROutcome FlowControlSet(ReceiveSession& s, const RStateInput& in) {
  return OnOk(s, in, [&] { return Command(s, "AT+FNR=1,1,1,0", ROutcome::kOk); });
}

ROutcome ReportsSet(ReceiveSession& s, const RStateInput& in) {
  return OnOk(s, in, [&] { return ReadyForCalls(s); });
}

ROutcome WaitForCall(ReceiveSession& s, const RStateInput& in) {
  FaxModemData& m = s.modem;
  if (in.Has("RING")) {
    const int32_t now = TickNow();
    if (m.ringCount > 0 && now - s.lastRingTick > kRingGapTicks) m.ringCount = 0;
    s.lastRingTick = now;
    ++m.ringCount;
    s.response.Clear();
    s.log.Note("ring " + std::to_string(m.ringCount) + " of " + std::to_string(m.AnswerOnRing));
    if (m.ringCount < m.AnswerOnRing) return ROutcome::kStay;
    s.pageDisposition = pdNextFile;
    Announce(s);
    ArmTimeout(s, m.ReplyWait);
    return ROutcome::kRingAnswered;
  }
  if (in.Has("NO C")) {
    SetProgress(s, fpNoConnect);
    s.response.Clear();
    return ROutcome::kStay;
  }
  // The modem answered by itself and found no fax machine.
  if (in.Has("CONNECT")) return Fail(s, ecFaxDataCall);
  if (in.Has("VOICE")) return Fail(s, ecFaxVoiceCall);
  if (!in.IsLine()) return ROutcome::kStay;
  return KeepWaiting(s);
}

ROutcome Answer(ReceiveSession& s, const RStateInput&) {
  FaxModemData& m = s.modem;
  m.retryCount = 0;
  if (const int rc = SendCommand(s, "ATA"); rc < 0) return Fail(s, rc);
  ArmTimeout(s, m.DialWait);
  ArmTimer(m.eventTimer, m.DialWait);
  SetProgress(s, fpAnswer);
  return IsClass1(s) ? ROutcome::kAnsweredClass1 : ROutcome::kAnsweredClass2;
}

}  // namespace ql
