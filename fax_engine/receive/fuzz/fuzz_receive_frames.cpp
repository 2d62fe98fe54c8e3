// What a modem says to a receiving session, as hostile as it likes: every byte goes
// through the response collector with frames expected, and every frame it completes is
// decoded into a receive session (far ID, DCS rate and modulation, the retrain flag).
// Nothing may crash, and what the decoding leaves must stay within its bounds.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fax_engine/class1/frames.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/session/response_collector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ql::ReceiveSession* session = new ql::ReceiveSession();
  ql::ReceiveSession& s = *session;
  ql::ResponseCollector collector;
  collector.ExpectFrames(true);
  for (size_t i = 0; i < size; ++i) {
    const auto item = collector.Feed(data[i]);
    if (item == ql::ResponseCollector::Item::kLine) {
      if (collector.Line().size() > ql::kResponseLineMax) __builtin_trap();
      collector.Clear();
    } else if (item == ql::ResponseCollector::Item::kFrame) {
      if (collector.Frame().size() > ql::ResponseCollector::kMaxFrame) __builtin_trap();
      ql::class1::DecodeFrame(s, collector.Frame());
      (void)ql::class1::DescribeFrame(collector.Frame());
      if (s.common.RemoteID().size() > ql::kStationIdMax) __builtin_trap();
      if (s.modem.SpeedIndex < 0 || s.modem.SpeedIndex > 6) __builtin_trap();
      if (s.modem.ModulationCode.size() > 3) __builtin_trap();
    }
  }
  return 0;
}
