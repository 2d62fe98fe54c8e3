// Class 1 send states: the engine runs T.30 itself. After dialling it reads the far
// machine's frames, sends TSI and DCS and the training check, waits for CFR, and
// after every page sends MPS or EOP and reads the answer; at the end DCN and hang-up.

#include "fax_engine/class1/dis_dcs.h"
#include "fax_engine/class1/fcf.h"
#include "fax_engine/class1/frames.h"
#include "fax_engine/class1/t30_timing.h"
#include "fax_engine/class1/training.h"
#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kPostPageTries = 3;
constexpr int kCarrierRetries = 2;
constexpr int32_t kPostPageWait = 54;   // ticks
constexpr int32_t kHangUpWait = 26;     // ticks

// A command that listens, or asks for the next frame of a group: the usual pause
// before a command is enough.
Outcome Command(SendSession& s, const std::string& text, Outcome next) {
  if (const int rc = SendCommand(s, text); rc < 0) return Fail(s, rc);
  return next;
}

// A command that starts our carrier (+FTH, +FTM) once a signal has ended: exactly the
// silence T.30 asks for, and no more.
Outcome CarrierCommand(SendSession& s, const std::string& text, Outcome next) {
  BusyDelay(class1::kSilenceBeforeCarrierMs);
  if (const int rc = SendCommandNow(s, text); rc < 0) return Fail(s, rc);
  s.carrierCommand = text;
  s.carrierRetries = 0;
  return next;
}

// Whether the line is the modem's CONNECT to our carrier command. A modem still ending
// the far machine's signal can take the command for an interruption of its receiver and
// answer OK instead: the command goes again after a new silence (twice at most), rather
// than the call waiting for a CONNECT that never comes.
bool CarrierUp(SendSession& s, const StateInput& in) {
  if (in.Has("CONNECT")) {
    s.carrierCommand.clear();
    return true;
  }
  if (in.Has("OK") && !s.carrierCommand.empty() && s.carrierRetries < kCarrierRetries) {
    ++s.carrierRetries;
    s.log.Note("the modem answered " + s.carrierCommand + " with OK: sent again");
    BusyDelay(class1::kSilenceBeforeCarrierMs);
    SendCommandNow(s, s.carrierCommand);
  }
  return false;
}

// Page data after a good training check: V.17 uses its short training here (the long
// one is for the training check itself), as the receiver then expects.
Outcome PageCommand(SendSession& s, Outcome next) {
  return CarrierCommand(s, "AT+FTM=" + class1::ModulationCodeFor(s.modem.SpeedIndex, s.modem.v17, true), next);
}

// After a frame's OK: the next frame of the group is asked for with +FRH=3.
Outcome NextFrameOfGroup(SendSession& s) { return Command(s, "AT+FRH=3", Outcome::kStay); }

}  // namespace

Outcome Class1DialResult(SendSession& s, const StateInput& in) {
  if (in.Has("CONNECT")) {
    ClearResponse(s);  // a frame follows
    return Outcome::kStay;
  }
  if (in.Has("OK")) {
    if (!s.modem.lastFrameFinal) return NextFrameOfGroup(s);
    s.modem.lastFrameFinal = false;
    return CarrierCommand(s, "AT+FTH=3", Outcome::kParametersReceived);
  }
  if (in.Has("BUSY") || in.Has("ANSWER")) return BusyHandling(s);
  if (in.Has("VOICE")) return Fail(s, ecFaxVoiceCall);
  if (in.Has("NO DIAL")) return Fail(s, ecFaxNoDialTone);
  if (in.Has("RRIER")) return Fail(s, ecFaxNoCarrier);
  return Outcome::kStay;
}

Outcome SendTsi(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  class1::SendIdFrame(s, fcf::kTsi);
  ClearResponse(s);
  return Outcome::kTsiSent;
}

Outcome SendDcs(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  class1::SendDcsFrame(s);
  ClearResponse(s);
  return Outcome::kDcsSent;
}

Outcome DcsSent(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  return CarrierCommand(s, "AT+FTM=" + s.modem.ModulationCode, Outcome::kTrainingStarted);
}

Outcome SendTraining(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  if (s.common.options & foSoftwareFlow) SetSoftwareFlow(s.common.portHandle, 0, 0, 1);
  class1::SendTraining(s);
  ClearResponse(s);
  return Outcome::kTrainingSent;
}

Outcome TrainingSent(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  if (s.common.options & foSoftwareFlow) ClearSoftwareFlow(s.common.portHandle);
  s.modem.gotCfr = false;
  return Command(s, "AT+FRH=3", Outcome::kAwaitingResponse);
}

Outcome TrainingResponse(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  if (!s.modem.lastFrameFinal) return NextFrameOfGroup(s);
  if (!s.modem.gotCfr) return CarrierCommand(s, "AT+FTH=3", Outcome::kTrainAgain);
  s.modem.lastFrameFinal = false;
  return PageCommand(s, Outcome::kTrained);
}

// A Class 1 modem sends no XON: the page data follows CONNECT at once, rather than after
// a second of idle carrier spent waiting for one.
Outcome PageCarrier(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  UseLine(s);
  ArmRoom(s);
  ArmTransmit(s);
  return Outcome::kReadyForData;
}

Outcome PageDataSent(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  s.modem.retryCount = 0;
  SetProgress(s, fpSendPageStatus, false);
  return Outcome::kPageAcknowledged;
}

Outcome PostPageCommand(SendSession& s, const StateInput&) {
  if (++s.modem.retryCount > kPostPageTries) return Fail(s, ecTimeout);
  return CarrierCommand(s, "AT+FTH=3", Outcome::kPostPageCommandReady);
}

Outcome SendPostPage(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  class1::SendSimpleFrame(s, MorePagesFollow(s) ? fcf::kMps : fcf::kEop);
  ClearResponse(s);
  return Outcome::kPostPageFrameSent;
}

Outcome PostPageSent(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  if (const int rc = SendCommand(s, "AT+FRH=3"); rc < 0) return Fail(s, rc);
  ArmTimeout(s, kPostPageWait);
  return Outcome::kAwaitPostPageResponse;
}

Outcome PostPageResponse(SendSession& s, const StateInput& in) {
  if (in.Has("CONNECT")) return Outcome::kStay;  // a frame follows
  if (in.Has("ERROR")) return Outcome::kPostPageRetry;
  if (!in.Has("OK")) return Outcome::kStay;
  if (!s.modem.lastFrameFinal) return NextFrameOfGroup(s);
  s.modem.lastFrameFinal = false;
  const uint8_t answer = s.modem.lastFcf;
  const bool more = MorePagesFollow(s);
  if (fcf::Is(answer, fcf::kMcf) || fcf::Is(answer, fcf::kRtp)) {
    SetProgress(s, fpPageOK);
    if (!more) return CarrierCommand(s, "AT+FTH=3", Outcome::kLastPageAccepted);
    if (const int rc = AdvanceToNextPage(s); rc < 0) return Fail(s, rc);
    // RTP: the far machine wants new training before the next page.
    if (fcf::Is(answer, fcf::kRtp)) return CarrierCommand(s, "AT+FTH=3", Outcome::kNextPageRetrain);
    return PageCommand(s, Outcome::kNextPageClass1);
  }
  return Outcome::kStay;
}

Outcome SendDcn(SendSession& s, const StateInput& in) {
  if (!CarrierUp(s, in)) return Outcome::kStay;
  class1::SendSimpleFrame(s, fcf::kDcn);
  ClearResponse(s);
  return Outcome::kDcnFrameSent;
}

Outcome DcnSent(SendSession& s, const StateInput& in) {
  if (!in.Has("OK")) return Outcome::kStay;
  if (const int rc = SendCommand(s, "ATH"); rc < 0) return Fail(s, rc);
  ArmTimeout(s, kHangUpWait);
  return Outcome::kHangUpSent;
}

Outcome HangingUp(SendSession&, const StateInput& in) {
  return in.Has("OK") ? Outcome::kHungUp : Outcome::kStay;
}

}  // namespace ql
