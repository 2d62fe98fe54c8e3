// Fuzzes DecodeFrame with frames of any length and content, as the sending and the
// receiving side read them, and the speed it chooses from them (step down included).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fax_engine/class1/frames.h"
#include "fax_engine/class1/speed_choice.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/session/session_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view frame(reinterpret_cast<const char*>(data + 1), size - 1);
  ql::SendSession send;
  ql::ReceiveSession receive;
  for (int i = 1; i <= 6; ++i) send.modem.localSpeeds[i] = receive.modem.localSpeeds[i] = (data[0] >> (i - 1)) & 1;
  send.modem.DesiredBPS = static_cast<uint16_t>(2400 * (1 + data[0] % 6));
  send.modem.pageResolution = (data[0] & 0x40) ? '1' : '0';
  send.modem.pageHeader.PageFlags = (data[0] & 0x80) ? 2 : 0;
  const ql::class1::DecodeResult r = ql::class1::DecodeFrame(send, frame);
  if (r.retrain)
    while (ql::class1::StepDown(send)) {
    }
  ql::class1::DecodeFrame(receive, frame);
  (void)ql::class1::DescribeFrame(frame);
  // The speed chosen is always one of the six, with its line length.
  if (send.modem.SpeedIndex < 0 || send.modem.SpeedIndex > 6) __builtin_trap();
  return 0;
}
