#include "serial/device/termios_mapping.h"

#include <cstdint>

namespace ql {

namespace {

struct SpeedEntry {
  uint32_t baud;
  speed_t code;
};
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

bool SpeedCode(uint32_t baud, speed_t& code) {
  for (const SpeedEntry& s : kSpeeds)
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  return false;
}

uint32_t BaudOf(speed_t code) {
  for (const SpeedEntry& s : kSpeeds)
    if (s.code == code) return s.baud;
  return 0;
}

}  // namespace

bool StateToTermios(const TCommState& state, termios& t) {
  speed_t speed {};
  if (!SpeedCode(state.BaudRate, speed)) return false;
  if (state.ByteSize < 5 || state.ByteSize > 8 || state.Parity > 4 || state.StopBits > kTwoStopBits) return false;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[state.ByteSize - 5];
  if (state.Parity != 0) t.c_cflag |= PARENB;
  if (state.Parity == 1 || state.Parity == 3) t.c_cflag |= PARODD;
  if (state.Parity >= 3) t.c_cflag |= CMSPAR;
  if (state.StopBits != kOneStopBit) t.c_cflag |= CSTOPB;  // with 5 data bits the UART sends 1.5
  if (state.OutxCtsFlow || state.RtsControl == kLineControlHandshake) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (state.OutX) t.c_iflag |= IXON;
  if (state.InX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = state.XonChar;
  t.c_cc[VSTOP] = state.XoffChar;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  return true;
}

void StateFromTermios(const termios& t, TCommState& state) {
  state.BaudRate = BaudOf(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: state.ByteSize = 5; break;
    case CS6: state.ByteSize = 6; break;
    case CS7: state.ByteSize = 7; break;
    default: state.ByteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB)) state.Parity = 0;
  else if (t.c_cflag & CMSPAR) state.Parity = (t.c_cflag & PARODD) ? 3 : 4;
  else state.Parity = (t.c_cflag & PARODD) ? 1 : 2;
  state.StopBits = !(t.c_cflag & CSTOPB) ? kOneStopBit : state.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
  state.OutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
  state.OutX = (t.c_iflag & IXON) != 0;
  state.InX = (t.c_iflag & IXOFF) != 0;
  state.XonChar = t.c_cc[VSTART];
  state.XoffChar = t.c_cc[VSTOP];
}

}  // namespace ql
