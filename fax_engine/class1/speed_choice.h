#pragma once
// Choosing the rate of a Class 1 session and lowering it after failed training.

#include "fax_engine/class1/dis_dcs.h"

namespace ql {
struct FaxSession;
}

namespace ql::class1 {

// Sending side, from the far machine's DIS: the remote capabilities are stored, and the
// speed index becomes the highest one both sides support that is at most DesiredBPS;
// fine and wide follow the page to send, error correction is off, the scan time is
// the receiver's and MinBytesPerLine is recomputed.
void ChooseSpeedFromDis(FaxSession& s, const DisCapabilities& dis);
// Receiving side, from the far sender's DCS: its rate, modulation family, resolution,
// width and scan time.
void TakeSpeedFromDcs(FaxSession& s, const DcsChoice& dcs);

// Lowers the speed index to the next one both sides support; false when none is left.
bool StepDown(FaxSession& s);

}  // namespace ql::class1
