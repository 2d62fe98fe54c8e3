// Page data as a hostile modem might send it, in pieces of any size: what the taker
// hands on must be what the reference unstuffer makes of the same bytes up to the end,
// whatever the pieces, and the row check must take any data.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fax_engine/receive/page_data_taker.h"
#include "fax_engine/receive/row_check.h"
#include "serial/dle/dle_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool reverse = data[0] & 1;
  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);

  ql::PageDataTaker taker;
  taker.Start(reverse);
  ql::RowCheck rows;
  rows.Start(data[0] & 2 ? 2048 : 1728);
  std::string taken;
  size_t endAt = 0;
  bool ended = false;
  for (size_t i = 0; i < stream.size() && !ended; ++i) {
    ended = taker.Take(static_cast<uint8_t>(stream[i]), [&](uint8_t b) {
      taken += static_cast<char>(b);
      rows.Feed(b);
    });
    endAt = i + 1;
  }

  // The reference: the codec's own unstuffing, control pairs other than the end dropped.
  ql::dle::Unstuffer reference;
  std::string expected;
  size_t at = 0;
  bool referenceEnded = false;
  while (at < stream.size()) {
    const auto r = reference.Take(std::string_view(stream).substr(at), expected);
    at += r.consumed;
    if (r.stop == ql::dle::Unstuffer::Stop::kEnd) {
      referenceEnded = true;
      break;
    }
    if (r.stop == ql::dle::Unstuffer::Stop::kNone) break;
  }
  if (reverse)
    for (char& c : expected) c = static_cast<char>(ql::kReversedBits[static_cast<uint8_t>(c)]);
  if (ended != referenceEnded || taken != expected || (ended && endAt != at)) __builtin_trap();
  if (rows.BrokenRows() > rows.Rows()) __builtin_trap();
  return 0;
}
