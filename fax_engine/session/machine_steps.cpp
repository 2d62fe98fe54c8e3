#include "fax_engine/session/machine_steps.h"

#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "serial/errors/error_codes.h"
#include "serial/dispatcher/dispatcher.h"

namespace ql {

void NoteStateChange(FaxSession& s, int from, const char* fromName, int to, const char* toName) {
  s.log.Note("state " + std::to_string(from) + " " + fromName + " -> " + std::to_string(to) + " " + toName);
}

void ReportSequenceError(FaxSession& s) { ReportError(s, ecSequenceError); }

ResponseCollector::Item CollectResponse(FaxSession& s) {
  const int port = s.common.portHandle;
  while (CharReady(port) == 1) {
    const int c = ReadChar(port);
    if (c < 0) break;
    const ResponseCollector::Item item = s.response.Feed(static_cast<uint8_t>(c));
    if (item != ResponseCollector::Item::kNone) return item;
  }
  return ResponseCollector::Item::kNone;
}

void RunSteps(FaxSession& s, EventKind event, const std::function<void(EventKind)>& step,
              const std::function<RunAfter()>& afterCurrentState, const std::function<void()>& beginAbort) {
  const int port = s.common.portHandle;
  while (true) {
    if (PeriodicStatus(s, event)) return;
    step(event);
    if (TakePendingAbort(s)) beginAbort();
    const RunAfter after = afterCurrentState();
    if (after == RunAfter::kNextTrigger) return;
    if (after == RunAfter::kWhileInput && CharReady(port) != 1) return;
    event = EventKind::kData;
  }
}

}  // namespace ql
