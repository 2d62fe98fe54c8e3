#include "fax_engine/session/notifications.h"

#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "platform/message_windows/message_window.h"
#include "serial/errors/error_text.h"

namespace ql {

namespace {

intptr_t Send(FaxSession& s, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  // A component that does not answer in time is not waited for; the session goes on.
  if (!SendMessageTimeout(s.common.notifyWindow, msg, wParam, lParam, kNotifyTimeoutMs, &result)) return 0;
  return result;
}

intptr_t Self(FaxSession& s) { return reinterpret_cast<intptr_t>(&s); }

}  // namespace

void SendStatus(FaxSession& s, bool first, bool last) {
  const int progress = s.common.FaxProgress;
  s.log.Note("status " + std::to_string(progress) + (progress == fpFinished ? " (fax sent)" : " " + StatusText(progress)));
  Send(s, FaxMsgStatus, first ? 1 : last ? 2 : 0, Self(s));
}

void ReportError(FaxSession& s, int code) {
  s.common.LastError = code;
  s.log.Note("error " + std::to_string(code) + " " + ErrorText(code));
  Send(s, FaxMsgError, static_cast<uintptr_t>(static_cast<intptr_t>(code)), 0);
}

void SendLog(FaxSession& s, TFaxLogCode code) { Send(s, FaxMsgLog, code, Self(s)); }

bool AskNextFile(FaxSession& s) { return Send(s, FaxMsgNextFile, 0, Self(s)) != 0; }

bool AskAccept(FaxSession& s) { return Send(s, FaxMsgAccept, 0, Self(s)) != 0; }

void AskName(FaxSession& s) { Send(s, FaxMsgName, 0, Self(s)); }

void PostFinish(FaxSession& s) {
  PostMessage(s.common.notifyWindow, FaxMsgFinish, static_cast<uintptr_t>(static_cast<intptr_t>(s.common.LastError)),
              Self(s));
}

}  // namespace ql
