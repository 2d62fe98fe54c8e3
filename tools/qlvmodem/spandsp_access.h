#pragma once
// The one place that reaches into spandsp's private structures. The library of this
// generation offers no public calls for the AT mode, the transmit buffer fill, the
// current modulation or the call information, and later generations renamed the
// fields; keeping every such access here keeps the rest of the tool on public calls.

#include <cstdint>
#include <string>

struct t31_state_s;
struct fax_state_s;
struct t30_state_s;

namespace ql::vmodem {

// What the AT interpreter of a T.31 modem is doing with bytes from the program.
enum class DteMode { kOnHookCommand, kOffHookCommand, kConnected, kDelivery, kHdlc, kStuffed };

DteMode ModemDteMode(const t31_state_s* modem);
bool InCommandMode(const t31_state_s* modem);

// Free room in the non-ECM transmit buffer (bytes the modem can take without dropping).
int TransmitBufferRoom(const t31_state_s* modem);
// Bytes of an HDLC frame collected since +FTH that have not been closed by DLE ETX.
int PendingFrameBytes(const t31_state_s* modem);
constexpr int kFrameByteLimit = 280;

// Echo, verbose and quiet settings as the interpreter holds them.
bool EchoOn(const t31_state_s* modem);
bool VerboseOn(const t31_state_s* modem);
bool QuietOn(const t31_state_s* modem);
int SRegister(const t31_state_s* modem, int index);
// The fax class the interpreter has selected (0, 1 or 10 for 1.0).
int SelectedClass(const t31_state_s* modem);

// Frees a T.31 modem completely (the library's own free leaves pieces behind).
void ReleaseModem(t31_state_s* modem);

// Starts an incoming call's caller information: the ring counter restarts and the
// caller's number is shown with +VCID=1.
void BeginIncomingCall(t31_state_s* modem, const std::string& callerNumber);

// Forgets an incoming call's caller information once it has been shown. The library's
// own reset (at ATD, ATH, ATZ) frees the list but not the texts in it.
void ForgetCallInfo(t31_state_s* modem);

// Writes a result text to the program in the modem's current format (verbose or not).
void PutResponse(t31_state_s* modem, const char* text);

// The fast (page) modulation being transmitted: its bit rate (0 when none is) and how
// long its training lasts before data follows.
struct FastCarrier {
  int bitRate = 0;
  double trainingSeconds = 0;
  // V.17 only: the page data goes after the short training; a training check always
  // has the long one. Other modulations train one way only (unknown: false).
  bool v17 = false;
  bool shortTraining = false;
};
FastCarrier FastTransmission(const t31_state_s* modem);
FastCarrier FastTransmission(const fax_state_s* terminal);

}  // namespace ql::vmodem

namespace ql::vmodem {
// The ATX setting (0 to 4): which call-progress results the modem reports.
int ResultCodeMode(const t31_state_s* modem);
void SetResultCodeMode(t31_state_s* modem, int mode);
// Writes a standard result code (OK, ERROR ...) in the modem's current format.
void PutResultCode(t31_state_s* modem, int code);
}  // namespace ql::vmodem

namespace ql::vmodem {
// A fax terminal receiving without error correction answers a bad page with RTN and
// then ignores the DCS with which a sender retrains to send the page again, although
// its own sending side retrains exactly so. Called with each frame the terminal
// receives, before it acts on the frame: a DCS that follows an RTN is let through to
// the terminal's ordinary handling of new parameters, and a received file the
// terminal already closed at the RTN is reopened so the pages in it are kept. The bad
// page itself was never stored. Any other frame is left alone.
void AcceptRetrainAfterRtn(t30_state_s* t30, const uint8_t* frame, int length);

// A fax terminal sending without error correction gives up a page the receiver answered
// with RTN (the next page follows, or the call ends after the last), unless it is told
// it may send a page again, which has no public call. Most fax machines do send the
// page again, after new training at the next lower rate.
void SendPagesAgainAfterRtn(t30_state_s* t30);
}  // namespace ql::vmodem
