#include "fax_engine/session/modem_commands.h"

#include <chrono>
#include <thread>

#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"
#include "platform/clock.h"
#include "platform/message_pump.h"
#include "serial/dispatcher/dispatcher.h"

namespace ql {

namespace {

constexpr int kCommandDelayMs = 100;
constexpr int kLineMax = 129;
constexpr int32_t kCapabilityLineWait = 36;  // ticks

// Holds the dispatcher's notifications of the port for as long as it lives, so the
// machine is not entered while the calling thread reads the modem itself.
class HeldNotifications {
 public:
  explicit HeldNotifications(int port) : port_(port), previous_(SuspendNotify(port, true) == 1) {}
  ~HeldNotifications() { SuspendNotify(port_, previous_); }
  HeldNotifications(const HeldNotifications&) = delete;
  HeldNotifications& operator=(const HeldNotifications&) = delete;

 private:
  int port_;
  bool previous_;
};

// Reads one line of the synchronous exchange: CR ends a non-empty line, other control
// characters are dropped, and a line longer than 129 characters keeps its newest ones.
// Lets window messages run while it waits; false when the event timer runs out first.
bool ReadLine(FaxSession& s, std::string& line) {
  line.clear();
  const int port = s.common.portHandle;
  while (true) {
    if (CharReady(port) == 1) {
      const int c = ReadChar(port);
      if (c < 0) continue;
      if (c == '\r') {
        if (!line.empty()) {
          s.log.Response(SessionLog::Printable(line));
          return true;
        }
        continue;
      }
      if (c < 32) continue;
      line += static_cast<char>(c);
      if (static_cast<int>(line.size()) > kLineMax) line.erase(0, 1);
      continue;
    }
    if (TimerExpired(s.modem.eventTimer)) return false;
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void DiscardInput(int port) {
  while (CharReady(port) == 1)
    if (ReadChar(port) < 0) break;
}

// The fixed waits of the synchronous exchanges: they last as long as the busy delays of
// the machines, but run on the thread that prepares the session (the user-interface
// thread of the fax desk), which lets its window messages run meanwhile instead of
// freezing for the second a modem reset takes.
void PauseLettingMessagesRun(int32_t milliseconds) {
  const int32_t start = MillisecondClock();
  while (static_cast<int32_t>((MillisecondClock() - start) & 0x7FFFFFFF) < milliseconds) {
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Drops DTR and RTS, raises them again, and waits twice with `wait`.
template <typename Wait>
void ResetModemLines(FaxSession& s, Wait wait) {
  const int port = s.common.portHandle;
  FlushInput(port);
  FlushOutput(port);
  SetModemLines(port, false, false);
  wait(500);
  SetModemLines(port, true, true);
  wait(500);
}

// SendCommand for the synchronous exchanges: its pause lets window messages run.
int SendExchangeCommand(FaxSession& s, const std::string& text) {
  PauseLettingMessagesRun(kCommandDelayMs);
  return SendCommandNow(s, text);
}

}  // namespace

void ArmTimeout(FaxSession& s, int32_t ticks) {
  if (s.common.timeoutTimer > 0) ArmTimerTrigger(s.common.portHandle, s.common.timeoutTimer, ticks, true);
}

void ClearResponse(FaxSession& s) {
  s.response.Clear();
  ArmTimeout(s, s.modem.ReplyWait);
  ArmTimer(s.modem.eventTimer, s.modem.ReplyWait);
}

int SendCommand(FaxSession& s, const std::string& text) {
  BusyDelay(kCommandDelayMs);
  return SendCommandNow(s, text);
}

int SendCommandNow(FaxSession& s, const std::string& text) {
  s.log.Command(text);
  const int port = s.common.portHandle;
  for (char c : text + "\r") {
    if (const int rc = WriteChar(port, static_cast<uint8_t>(c)); rc < 0) return rc;
    BusyDelay(0);
  }
  ClearResponse(s);
  return 0;
}

ExchangeResult ExchangeCommand(FaxSession& s, const std::string& text) {
  ExchangeResult result;
  const int port = s.common.portHandle;
  if (SendExchangeCommand(s, text) != 0) return result;
  s.response.Clear();
  ArmTimer(s.modem.eventTimer, s.modem.ReplyWait);
  HeldNotifications held(port);
  std::string line;
  while (ReadLine(s, line)) {
    if (line == text) continue;  // the modem's echo
    result.last = line;
    if (line.find("ERROR") != std::string::npos) break;
    if (line.find("OK") != std::string::npos) {
      result.answer = line;
      result.ok = true;
      break;
    }
    // An answer of its own: the final result (normally OK) must follow in time.
    result.answer = line;
    std::string final;
    if (ReadLine(s, final)) {
      result.last = final;
      result.ok = true;
    }
    break;
  }
  DiscardInput(port);
  return result;
}

void ResetModem(FaxSession& s) { ResetModemLines(s, BusyDelay); }

TFaxClassSet ParseFaxClasses(const std::string& answer) {
  std::string rest = TrimControls(answer);
  size_t cut = rest.find(':');
  if (cut == std::string::npos) cut = rest.find('=');
  if (cut != std::string::npos) rest = TrimControls(rest.substr(cut + 1));
  TFaxClassSet set = 0;
  if (rest.find('1') != std::string::npos) set |= FaxClassBit(fcClass1);
  if (rest.find("2.0") != std::string::npos) {
    set |= FaxClassBit(fcClass2_0);
    if (rest.find("2,") != std::string::npos) set |= FaxClassBit(fcClass2);
  } else if (rest.find('2') != std::string::npos) {
    set |= FaxClassBit(fcClass2);
  }
  return set;
}

TFaxClass ChooseFaxClass(TFaxClassSet supported) {
  if (HasFaxClass(supported, fcClass2_0)) return fcClass2_0;
  if (HasFaxClass(supported, fcClass2)) return fcClass2;
  if (HasFaxClass(supported, fcClass1)) return fcClass1;
  return fcUnknown;
}

TFaxClassSet DetectFaxClass(FaxSession& s, bool reset) {
  HeldNotifications held(s.common.portHandle);
  if (reset) {
    bool answered = false;
    for (int attempt = 0; attempt < 2 && !answered; ++attempt) {
      ResetModemLines(s, PauseLettingMessagesRun);
      const ExchangeResult r = ExchangeCommand(s, s.modem.baseInit);
      answered = r.ok && r.last.find("OK") != std::string::npos;
    }
    if (!answered) return 0;
  }
  const ExchangeResult r = ExchangeCommand(s, "AT+FCLASS=?");
  return r.ok ? ParseFaxClasses(r.answer) : 0;
}

bool SettleFaxClass(FaxSession& s) {
  TFaxClass& faxClass = s.common.FaxClass;
  if (faxClass != fcUnknown && faxClass != fcDetect) return true;
  faxClass = ChooseFaxClass(DetectFaxClass(s, true));
  if (faxClass == fcUnknown) {
    faxClass = fcDetect;
    return false;
  }
  s.log.Note("fax class detected: " + std::string(faxClass == fcClass1 ? "1" : faxClass == fcClass2 ? "2" : "2.0"));
  return true;
}

bool InitialiseModem(FaxSession& s) {
  if (!s.modem.ModemInit.empty() && !ExchangeCommand(s, s.modem.ModemInit).ok) return false;
  if (!ExchangeCommand(s, s.modem.baseInit).ok) return false;
  s.modem.modemInitialised = true;
  return true;
}

bool ReadClass1Capabilities(FaxSession& s, bool sending) {
  if (!ExchangeCommand(s, "AT+FCLASS=1").ok) return false;
  for (bool& speed : s.modem.localSpeeds) speed = false;
  s.modem.localSpeeds[1] = s.modem.localSpeeds[2] = true;
  s.modem.SpeedIndex = 1;
  HeldNotifications held(s.common.portHandle);
  if (SendExchangeCommand(s, sending ? "AT+FTM=?" : "AT+FRM=?") != 0) return true;
  static const char* const kCodes[7] = {"", "", "", "72", "96", "121", "145"};
  std::string line;
  while (ReadLine(s, line)) {
    ArmTimer(s.modem.eventTimer, kCapabilityLineWait);
    if (line.find(',') != std::string::npos) {
      for (int i = 3; i <= kHighestSpeedIndex; ++i)
        if (line.find(kCodes[i]) != std::string::npos) s.modem.localSpeeds[i] = true;
      for (int i = kHighestSpeedIndex; i >= kLowestSpeedIndex; --i)
        if (s.modem.localSpeeds[i]) {
          s.modem.SpeedIndex = i;
          break;
        }
    }
    if (line.find("OK") != std::string::npos || line.find("ERROR") != std::string::npos) break;
  }
  DiscardInput(s.common.portHandle);
  return true;
}

void HangUpSend(FaxSession& s) {
  const int port = s.common.portHandle;
  if (CheckDCD(port) == 1) {
    BusyDelay(1000);
    WriteString(port, "+++");
    BusyDelay(1000);
    SendCommand(s, "ATH0");
    BusyDelay(1000);
    FlushInput(port);
    if (CheckDCD(port) == 1) ResetModem(s);
  } else {
    SendCommand(s, "ATH0");
    BusyDelay(1000);
    FlushInput(port);
  }
}

void HangUpReceive(FaxSession& s) {
  const int port = s.common.portHandle;
  ResetModem(s);
  BusyDelay(1000);
  WriteString(port, "+++");
  BusyDelay(1000);
  SendCommand(s, "ATH");
  BusyDelay(1000);
  FlushInput(port);
}

void SwitchToInitBaud(FaxSession& s) {
  if (s.modem.InitBaud == 0 || s.modem.atInitBaud) return;
  BusyDelay(9 * kMillisecondsPerTick);
  SetBaud(s.common.portHandle, s.modem.InitBaud);
  s.modem.atInitBaud = true;
}

void SwitchToNormalBaud(FaxSession& s) {
  if (!s.modem.atInitBaud) return;
  SetBaud(s.common.portHandle, s.modem.NormalBaud);
  s.modem.atInitBaud = false;
}

}  // namespace ql
