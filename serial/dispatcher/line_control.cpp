// Line settings, flow control and modem lines of an open port.

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/port_record.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kKeepParity = 5;
constexpr int kKeepDataBits = 9;
constexpr int kKeepStopBits = 3;

bool MarksValid(const TPortRecord& p, int fullMark, int resumeMark) {
  return resumeMark >= 0 && resumeMark <= fullMark && fullMark <= p.inSize;
}

int ReadState(TPortRecord& p, TCommState& s) {
  if (p.device < 0 || p.ops.DevGetState(p.device, s) != 0) return ecNotSupported;
  return 0;
}

// Applies a change to the line settings: read, change, write.
template <typename Change>
int ChangeState(int port, Change change) {
  return UnderLock(port, [&](TPortRecord& p) {
    TCommState s;
    if (const int r = ReadState(p, s); r < 0) return r;
    if (const int r = change(p, s); r < 0) return r;
    return p.WriteCommState(s);
  });
}

int SetLineControl(int port, bool dtrLine, bool on) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (p.device < 0) return ecNotSupported;
    p.ops.DevEscape(p.device, dtrLine ? (on ? kEscSetDtr : kEscClrDtr) : (on ? kEscSetRts : kEscClrRts));
    (dtrLine ? p.dtr : p.rts) = on;
    return 0;
  });
}

}  // namespace

int SetLine(int port, int32_t baud, int parity, int dataBits, int stopBits) {
  return ChangeState(port, [&](TPortRecord&, TCommState& s) {
    if (baud != 0) s.BaudRate = static_cast<uint32_t>(baud);
    if (parity != kKeepParity) {
      if (parity < 0 || parity > 4) return ecBadArgument;
      s.Parity = static_cast<uint8_t>(parity);
    }
    if (dataBits != kKeepDataBits) s.ByteSize = static_cast<uint8_t>(dataBits);
    if (stopBits != kKeepStopBits) s.StopBits = stopBits == 0 || stopBits == 1 ? kOneStopBit : kTwoStopBits;
    if (s.ByteSize == 5) s.StopBits = kOne5StopBits;
    return 0;
  });
}

int SetBaud(int port, int32_t baud) { return SetLine(port, baud, kKeepParity, kKeepDataBits, kKeepStopBits); }

int GetLine(int port, int32_t& baud, int& parity, int& dataBits, int& stopBits) {
  return UnderLock(port, [&](TPortRecord& p) {
    TCommState s;
    if (const int r = ReadState(p, s); r < 0) return r;
    baud = static_cast<int32_t>(s.BaudRate);
    parity = s.Parity;
    dataBits = s.ByteSize;
    stopBits = s.StopBits == kOneStopBit ? 1 : 2;
    return 0;
  });
}

int SetDTR(int port, bool on) { return SetLineControl(port, true, on); }
int SetRTS(int port, bool on) { return SetLineControl(port, false, on); }

int SetModemLines(int port, bool dtr, bool rts) {
  const int r = SetDTR(port, dtr);
  return r < 0 ? r : SetRTS(port, rts);
}

int SetHardwareFlow(int port, int fullMark, int resumeMark, int options) {
  return ChangeState(port, [&](TPortRecord& p, TCommState& s) {
    if (!MarksValid(p, fullMark, resumeMark)) return ecBadArgument;
    if (options & 3) {
      // A line not used for handshaking keeps following its own state rather than being
      // dropped, so asking for RTS flow never hangs up a modem through DTR.
      s.DtrControl = (options & 1) ? kLineControlHandshake : p.dtr ? kLineControlEnable : kLineControlDisable;
      s.RtsControl = (options & 2) ? kLineControlHandshake : p.rts ? kLineControlEnable : kLineControlDisable;
      s.XoffLim = static_cast<uint16_t>(p.inSize - fullMark);
      s.XonLim = static_cast<uint16_t>(resumeMark);
    }
    if (options & 0xC) {
      s.OutxDsrFlow = (options & 4) != 0;
      s.OutxCtsFlow = (options & 8) != 0;
    }
    return 0;
  });
}

int ClearHardwareFlow(int port) {
  return ChangeState(port, [&](TPortRecord& p, TCommState& s) {
    s.OutxCtsFlow = s.OutxDsrFlow = false;
    if (s.DtrControl == kLineControlHandshake) s.DtrControl = p.dtr ? kLineControlEnable : kLineControlDisable;
    if (s.RtsControl == kLineControlHandshake) s.RtsControl = p.rts ? kLineControlEnable : kLineControlDisable;
    return 0;
  });
}

int SetSoftwareFlow(int port, int fullMark, int resumeMark, int options) {
  return ChangeState(port, [&](TPortRecord& p, TCommState& s) {
    if (!MarksValid(p, fullMark, resumeMark)) return ecBadArgument;
    if (options & 2) {
      s.InX = true;
      s.XoffLim = static_cast<uint16_t>(p.inSize - fullMark);
      s.XonLim = static_cast<uint16_t>(resumeMark);
    }
    if (options & 1) s.OutX = true;
    s.XonChar = 17;
    s.XoffChar = 19;
    return 0;
  });
}

int ClearSoftwareFlow(int port) {
  return ChangeState(port, [](TPortRecord&, TCommState& s) {
    s.InX = s.OutX = false;
    return 0;
  });
}

int SetFlowChars(int port, uint8_t xon, uint8_t xoff) {
  return ChangeState(port, [&](TPortRecord&, TCommState& s) {
    s.XonChar = xon;
    s.XoffChar = xoff;
    return 0;
  });
}

int ModemStatus(int port, int mask) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.RefreshModemShadow();
    const int shadow = p.modemShadow;
    p.modemShadow &= static_cast<uint8_t>(mask);
    return shadow;
  });
}

int CheckDCD(int port) {
  const int status = ModemStatus(port, 0xF7);
  return status < 0 ? status : (status & kLineDcd) != 0;
}

int LineError(int port) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.CollectLineErrors();
    int code = 0;
    if (p.lineErrors & kErrRxOver) code = 1;
    else if (p.lineErrors & kErrOverrun) code = 2;
    else if (p.lineErrors & kErrParity) code = 3;
    else if (p.lineErrors & kErrFrame) code = 4;
    if (code != 0) p.lineErrors &= ~0x0Fu;
    else if (p.lineErrors & kErrBreak) code = 9;
    return code;
  });
}

int LineBreak(int port) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.CollectLineErrors();
    const bool seen = (p.lineErrors & kErrBreak) != 0;
    p.lineErrors &= ~kErrBreak;
    return seen ? 1 : 0;
  });
}

}  // namespace ql
