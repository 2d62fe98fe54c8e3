#pragma once
// The Class 1 layer under a Class 2/2.0 modem: a T.31 modem of its own, driven in the
// same process with the AT commands a fax program would write (+FTH, +FRH, +FTM, +FRM)
// and heard through the same byte stream, parsed here into lines, frames and page data.
// The Class 2 engine above runs T.30 on it, so its calls use the real modulations and
// a far machine sees nothing unusual.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "serial/dle/dle_codec.h"
#include "tools/qlvmodem/spandsp_access.h"

struct t31_state_s;
struct at_state_s;

namespace ql::vmodem {

class Class1Link {
 public:
  struct Event {
    enum class Kind {
      kLine,      // a result line: "OK", "CONNECT", "NO CARRIER", "ERROR", "+FCERROR"
      kFrame,     // a received HDLC frame (without its check sequence), good or not
      kData,      // received page or training data
      kDataEnd,   // the received data has ended (DLE ETX)
    };
    Kind kind;
    std::string text;  // the line, or the bytes
    bool good = true;  // frames: the check sequence was right
  };

  Class1Link();
  ~Class1Link();
  Class1Link(const Class1Link&) = delete;
  Class1Link& operator=(const Class1Link&) = delete;

  // The call has been connected: as caller the modem listens for the answer (CONNECT and
  // the first frames follow), as answerer it sends the answer tone and then CONNECT for
  // the first frames to send.
  void Connected(bool asCaller);
  void HangUp();

  // A command such as "AT+FRH=3" (no CR).
  void Command(const std::string& command);
  // An HDLC frame to send after CONNECT (the modem adds the check sequence).
  void SendFrame(const std::string& frame);
  // Data to send after CONNECT for +FTM (stuffed here); EndData() closes it with DLE ETX
  // once all has gone.
  void SendData(const std::string& bytes);
  void EndData();
  // Bytes not yet taken by the modem, as stuffed.
  size_t DataWaiting() const { return outgoing_.size(); }
  // Ends a +FRH/+FRM wait; the modem answers OK.
  void Abort();

  // Line audio, one block a tick. The line time (in samples) advances in Receive.
  void Transmit(int16_t* samples, int count);
  void Receive(int16_t* samples, int count);
  int64_t Now() const { return now_; }

  bool HasEvent() const { return !events_.empty(); }
  Event NextEvent();
  FastCarrier FastTransmission() const;

 private:
  static int OnOutput(at_state_s* at, void* self, const uint8_t* bytes, size_t length);
  static int OnControl(t31_state_s* modem, void* self, int op, const char* argument);
  void Parse(const uint8_t* bytes, size_t length);
  void Feed();
  void ToModem(const std::string& bytes);
  void IssueAfterPause();

  t31_state_s* modem_ = nullptr;
  int64_t now_ = 0;
  std::deque<Event> events_;
  std::string outgoing_;    // page data not yet taken by the modem, DLE already doubled
  bool endPending_ = false;
  std::string afterPause_;  // a transmit command waiting for its silence to pass
  bool pauseOver_ = false;
  // Output parsing: after CONNECT to a receive command, bytes up to DLE ETX are data.
  bool receiving_ = false;  // the last command was +FRH or +FRM (or the caller's answer)
  bool frameMode_ = false;  // what is received comes as frames (else page data)
  bool inData_ = false;
  ql::dle::Unstuffer unstuffer_;
  bool skipLf_ = false;
  std::string line_;
  std::string data_;
};

}  // namespace ql::vmodem
