#pragma once
// The waits a Class 1 sender keeps on the line between one signal and the next.
//
// T.30 asks for 75 ms (+-20 ms) of silence between the end of one signal and the start
// of the next, in either direction: between the far machine's last frame and our answer,
// between DCS and the training check, between the page carrier and MPS/EOP. The modem
// reports the end of a signal (the OK after a received final frame, or after our own
// carrier), so the sender waits that long from the OK before it starts its own carrier.
// Anything longer is dead line time the far machine waits through on every page.
//
// Listening needs no silence: the far machine answers after its own silence and at
// least a second of flags, so the receive command only has to come well inside that.

namespace ql::class1 {

// Silence before our carrier starts after a signal ended.
inline constexpr int kSilenceBeforeCarrierMs = 75;

}  // namespace ql::class1
