#include "fax_engine/class1/speed_choice.h"

#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"

namespace ql::class1 {

namespace {

bool BothSupport(const FaxSession& s, int i) { return s.modem.localSpeeds[i] && s.modem.remoteSpeeds[i]; }

void SetSpeed(FaxSession& s, int speedIndex) {
  s.modem.SpeedIndex = speedIndex;
  s.modem.sessionBps = SpeedOfIndex(speedIndex);
  RecomputeMinBytesPerLine(s);
}

}  // namespace

void ChooseSpeedFromDis(FaxSession& s, const DisCapabilities& dis) {
  for (int i = 0; i <= kHighestSpeedIndex; ++i) s.modem.remoteSpeeds[i] = dis.speeds[i];
  int chosen = kLowestSpeedIndex;
  for (int i = kHighestSpeedIndex; i >= kLowestSpeedIndex; --i) {
    if (BothSupport(s, i) && SpeedOfIndex(i) <= s.modem.DesiredBPS) {
      chosen = i;
      break;
    }
  }
  s.modem.fine = s.modem.pageResolution == '1';
  s.modem.wide = s.modem.pageHeader.Wide();
  s.modem.ecm = false;
  s.modem.remoteFine = dis.fine;
  s.modem.remoteWide = dis.wide;
  s.modem.scanTimeCode = dis.scanTimeCode;
  s.modem.v17 = chosen >= 5;
  SetSpeed(s, chosen);
}

void TakeSpeedFromDcs(FaxSession& s, const DcsChoice& dcs) {
  s.modem.fine = dcs.fine;
  s.modem.wide = dcs.wide;
  s.modem.ecm = false;
  s.modem.scanTimeCode = dcs.scanTimeCode;
  s.modem.v17 = dcs.v17;
  SetSpeed(s, dcs.speedIndex);
  s.modem.ModulationCode = ModulationCodeFor(dcs.speedIndex, dcs.v17);
}

bool StepDown(FaxSession& s) {
  int i = s.modem.SpeedIndex - 1;
  while (i > 0 && !BothSupport(s, i)) --i;
  if (i <= 0) return false;
  s.modem.v17 = i >= 5;
  SetSpeed(s, i);
  return true;
}

}  // namespace ql::class1
