#include "fax_engine/class1/frames.h"

#include <algorithm>

#include "fax_engine/class1/dis_dcs.h"
#include "fax_engine/class1/fcf.h"
#include "fax_engine/class1/speed_choice.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dle/dle_codec.h"
#include "serial/errors/error_codes.h"

namespace ql::class1 {

namespace {

constexpr int kFramePauseMs = 20;

uint8_t At(std::string_view frame, size_t i) { return i < frame.size() ? static_cast<uint8_t>(frame[i]) : 0; }

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The station ID of an ID frame: its (at most 20) FIF bytes from the last to the
// first, without the padding, wherever the far machine put it. The modem's two check
// bytes at the end are not part of it, also in a frame that is too short.
std::string IdOf(std::string_view frame, bool checkBytes = true) {
  const size_t tail = checkBytes ? 2 : 0;
  const size_t count = frame.size() > 3 + tail ? std::min<size_t>(kStationIdMax, frame.size() - 3 - tail) : 0;
  std::string id(frame.substr(3, count));
  std::reverse(id.begin(), id.end());
  return TrimSpaces(id);
}

std::string_view FromAddress(std::string_view frame) {
  while (frame.size() > 1 && static_cast<uint8_t>(frame[0]) != fcf::kAddress) frame.remove_prefix(1);
  return frame;
}

int Send(FaxSession& s, uint8_t fcf, std::string_view fif, bool final) {
  BusyDelay(kFramePauseMs);
  std::string raw{static_cast<char>(fcf::kAddress), static_cast<char>(final ? fcf::kControlFinal : fcf::kControlNotFinal),
                  static_cast<char>(fcf)};
  raw.append(fif);
  s.log.FrameSent(DescribeFrame(raw, false));
  return WriteString(s.common.portHandle, FrameBytes(fcf, fif, final));
}

std::string ScanText(int code) {
  const int normal = MinimumScanTimeMs(code, false), fine = MinimumScanTimeMs(code, true);
  return "scan " + std::to_string(normal) + (fine != normal ? "/" + std::to_string(fine) : "") + " ms";
}

}  // namespace

std::string FrameBytes(uint8_t fcf, std::string_view fif, bool final) {
  std::string raw{static_cast<char>(fcf::kAddress), static_cast<char>(final ? fcf::kControlFinal : fcf::kControlNotFinal),
                  static_cast<char>(fcf)};
  raw.append(fif);
  return dle::Stuffed(raw, true);
}

std::string IdFif(const std::string& stationId) {
  std::string id = stationId.substr(0, kStationIdMax);
  std::string fif(kStationIdMax - id.size(), ' ');
  fif.append(id.rbegin(), id.rend());
  return fif;
}

int SendSimpleFrame(FaxSession& s, uint8_t fcf) { return Send(s, fcf, {}, true); }

int SendIdFrame(FaxSession& s, uint8_t fcf) { return Send(s, fcf, IdFif(s.common.StationID), false); }

int SendDisFrame(FaxSession& s) { return Send(s, fcf::kDis, DisFif(s.modem.SpeedIndex), true); }

int SendDcsFrame(FaxSession& s) {
  FaxModemData& m = s.modem;
  m.ModulationCode = ModulationCodeFor(m.SpeedIndex, m.v17);
  return Send(s, fcf::kDcs, DcsFif(m.SpeedIndex, m.pageResolution == '1', m.pageHeader.Wide(), m.scanTimeCode), true);
}

DecodeResult DecodeFrame(FaxSession& s, std::string_view received) {
  DecodeResult out;
  const std::string_view frame = FromAddress(received);
  FaxModemData& m = s.modem;
  if (frame.size() >= 3) {
    s.log.FrameReceived(DescribeFrame(frame));
    m.lastFrameFinal = (At(frame, 1) & fcf::kFinalBit) != 0;
    const uint8_t code = At(frame, 2);
    m.lastFcf = code;
    if (fcf::IsIdFrame(code)) {
      s.common.SetRemoteID(IdOf(frame));
      s.common.FaxProgress = fpGotRemoteID;
      m.forceStatus = true;
    } else if (fcf::Is(code, fcf::kFtt) || fcf::Is(code, fcf::kRtn)) {
      out.retrain = true;
    } else if (fcf::Is(code, fcf::kDis)) {
      ChooseSpeedFromDis(s, DecodeDis(At(frame, 4), At(frame, 5)));
      if ((!m.remoteFine && m.pageResolution == '1') || (!m.remoteWide && m.pageHeader.Wide())) {
        out.result = ecFaxBadMachine;
        return out;
      }
      s.common.FaxProgress = fpSessionParams;
      m.forceStatus = true;
    } else if (fcf::Is(code, fcf::kDcs)) {
      TakeSpeedFromDcs(s, DecodeDcs(At(frame, 4), At(frame, 5)));
      s.common.FaxProgress = fpSessionParams;
      m.forceStatus = true;
    } else if (fcf::Is(code, fcf::kCfr)) {
      m.gotCfr = true;
    } else if (fcf::Is(code, fcf::kDcn)) {
      out.result = ecCancelRequested;
    }
  }
  ClearResponse(s);
  return out;
}

std::string DescribeFrame(std::string_view received, bool checkBytes) {
  const std::string_view frame = FromAddress(received);
  if (frame.size() < 3) return "frame too short (" + std::to_string(frame.size()) + " bytes)";
  const uint8_t code = At(frame, 2);
  const uint8_t b2 = At(frame, 4), b3 = At(frame, 5);
  if (fcf::IsIdFrame(code)) return std::string(code >= 0x42 ? "TSI" : "CSI") + ": \"" + IdOf(frame, checkBytes) + "\"";
  if (fcf::Is(code, fcf::kDis)) {
    const DisCapabilities d = DecodeDis(b2, b3);
    return "DIS: " + DescribeDisRate(b2) + (d.fine ? ", fine" : ", normal") +
           (d.wide ? ", 1728 and 2048 pels, " : ", 1728 pels, ") + ScanText(d.scanTimeCode);
  }
  if (fcf::Is(code, fcf::kDcs)) {
    const DcsChoice c = DecodeDcs(b2, b3);
    return "DCS: " + DescribeDcsRate(b2) + (c.fine ? ", fine" : ", normal") + (c.wide ? ", 2048 pels, " : ", 1728 pels, ") +
           ScanText(c.scanTimeCode);
  }
  struct Name {
    uint8_t fcf;
    const char* name;
  };
  static constexpr Name kNames[] = {{fcf::kCfr, "CFR"}, {fcf::kFtt, "FTT"}, {fcf::kMcf, "MCF"}, {fcf::kRtn, "RTN"},
                                    {fcf::kRtp, "RTP"}, {fcf::kMps, "MPS"}, {fcf::kEop, "EOP"}, {fcf::kDcn, "DCN"},
                                    {0x8F, "EOM"},      {0x04, "NSF"},      {0x3C, "PIP"},      {0xBC, "PIN"}};
  for (const Name& n : kNames)
    if (fcf::Is(code, n.fcf)) return n.name;
  char text[32];
  std::snprintf(text, sizeof text, "frame with control field 0x%02X", code);
  return text;
}

}  // namespace ql::class1
