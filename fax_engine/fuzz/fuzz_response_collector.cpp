// Fuzzes what a modem may say: every byte goes through the response collector (with
// and without frames expected), each complete frame through DecodeFrame and its log
// description, each line through the readers of Class 2 reports and class answers.

#include <cstddef>
#include <cstdint>

#include "fax_engine/class1/frames.h"
#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/response_collector.h"
#include "fax_engine/session/session_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static ql::SendSession session;
  for (int i = 1; i <= 6; ++i) session.modem.localSpeeds[i] = true;
  ql::ResponseCollector collector;
  collector.ExpectFrames((data[0] & 1) != 0);
  for (size_t i = 1; i < size; ++i) {
    switch (collector.Feed(data[i])) {
      case ql::ResponseCollector::Item::kFrame:
        ql::class1::DecodeFrame(session, collector.Frame());
        (void)ql::class1::DescribeFrame(collector.Frame());
        break;
      case ql::ResponseCollector::Item::kLine:
        ql::ApplyClass2Report(session, collector.Line());
        (void)ql::CleanStationId(collector.Line());
        (void)ql::HangupCodeFrom(collector.Line(), "FHNG");
        (void)ql::ParseFaxClasses(collector.Line());
        if (data[i] & 2) collector.Clear();  // a state that used the line, or one that left it
        break;
      case ql::ResponseCollector::Item::kNone: break;
    }
  }
  return 0;
}
