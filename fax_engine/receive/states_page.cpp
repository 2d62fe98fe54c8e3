// The page states every class shares: the start of a page (its placeholder header in
// the file, a new file where the document asks for one) and the page data, taken out of
// the modem's stream as it arrives and written to the file.

#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kMaxPerEvent = 10000;  // characters taken per data event
constexpr uint8_t kDc2 = 0x12;       // tells a Class 2 modem to hand the page over
// The longest a page may take, and the most data it may have: a page far past these
// is a modem that sends without end.
constexpr int32_t kPageTimeLimit = 20 * 60 * 1000 / kMillisecondsPerTick;  // 20 minutes
constexpr uint32_t kPageByteLimit = 4u << 20;

// The next document of the call (Class 2 EOM): the fax so far is complete and kept.
int NextDocument(ReceiveSession& s) {
  FinishFile(s);
  s.common.faxFile.clear();
  AskName(s);
  if (s.common.faxFile.empty()) return ecNoFilename;
  if (const int rc = s.file.Create(s.common.faxFile, s.common.RemoteID()); rc < 0) return rc;
  SendLog(s, lfaxReceiveStart);
  s.common.currentPage = 0;
  return 0;
}

}  // namespace

ROutcome PageStart(ReceiveSession& s, const RStateInput&) {
  FaxCommon& c = s.common;
  FaxModemData& m = s.modem;
  if (!s.accepted) {
    // A far machine that gave no ID: the call is asked about at its first page.
    if (const ROutcome r = AcceptAndCreateFile(s, ROutcome::kStay); r != ROutcome::kStay) return r;
  } else if (s.pageDisposition == pdNextFile) {
    if (const int rc = NextDocument(s); rc < 0) return Fail(s, rc);
  }
  s.pageDisposition = pdSameFile;
  c.currentPage = c.currentPage + 1;
  if (const int rc = s.file.BeginPage(m.fine, m.wide); rc < 0) return Fail(s, rc);
  s.taker.Start(c.FaxClass == fcClass2);
  s.rows.Start(m.wide ? 2048 : 1728);
  s.pageRejected = false;
  m.pageReceivedOk = true;
  c.bytesTransferred = 0;
  ArmTimeout(s, m.ReplyWait);
  ArmTimer(s.pageTimer, kPageTimeLimit);
  if (!IsClass1(s)) WriteChar(c.portHandle, kDc2);
  s.log.Note("page " + std::to_string(c.currentPage.load()) + (m.fine ? ", fine" : ", normal") +
             (m.wide ? ", 2048 pels" : ", 1728 pels"));
  SetProgress(s, fpGetPage);
  return ROutcome::kPageStarted;
}

ROutcome PageData(ReceiveSession& s, const RStateInput& in) {
  FaxCommon& c = s.common;
  // Data that stops, or never ends, ends the page with an error.
  if (in.event == EventKind::kTimeout) return Fail(s, ecTimeout);
  if (in.event != EventKind::kData) return ROutcome::kStay;
  const int port = c.portHandle;
  const bool class1 = IsClass1(s);
  int error = 0;
  bool ended = false;
  int32_t taken = 0;
  for (int n = 0; n < kMaxPerEvent && !ended && error == 0 && CharReady(port) == 1; ++n) {
    const int ch = ReadChar(port);
    if (ch < 0) break;
    ended = s.taker.Take(static_cast<uint8_t>(ch), [&](uint8_t byte) {
      if (class1) s.rows.Feed(byte);
      ++taken;
      if (const int rc = s.file.Append(byte); rc < 0 && error == 0) error = rc;
    });
  }
  c.bytesTransferred = static_cast<int32_t>(s.file.PageBytes());
  if (error != 0) return Fail(s, error);
  if (!ended) {
    if (TimerExpired(s.pageTimer) || s.file.PageBytes() > kPageByteLimit) return Fail(s, ecTimeout);
    if (taken > 0) ArmTimeout(s, s.modem.ReplyWait);
    return ROutcome::kStay;
  }
  ClearResponse(s);
  if (c.options & foSoftwareFlow) ClearSoftwareFlow(port);
  SetProgress(s, fpGetPage);
  return class1 ? ROutcome::kPageEndedClass1 : ROutcome::kPageEndedClass2;
}

}  // namespace ql
