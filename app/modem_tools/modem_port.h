#pragma once
// The port routines of the send and receive flows and the modem tools: opening the
// modem's port with a text that tells the user what went wrong, sending a reset
// string, and the factory reset.

#include <string>

namespace ql {

class TComPort;

inline constexpr int kProbeWaitTicks = 18;  // about 1 s: Find Modem's "AT"
inline constexpr int kResetWaitTicks = 36;  // about 2 s: a reset string's "OK"

// The port setup every window of the program gives its modem port: buffers of 8192
// bytes, RTS/CTS flow control (marks 7372 and 819), no opening by itself, and its own
// trace and log files in the data folder (a trace of traceSize entries).
void ConfigureModemPort(TComPort& port, const std::string& traceFile, const std::string& logFile, int traceSize = 10000);

// Opens the port. False with the text for the user when it cannot be opened.
bool OpenModemPort(TComPort& port, std::string& error);
// The text for a port that did not open with a serial-layer code. `device` is the path
// behind the port number: a device this user may not open, or one another program
// holds, is named with the reason.
std::string OpenFailureText(int comNumber, int code, const std::string& device);

// A modem command as the user typed it, with "AT" in front when, upper-cased, it holds
// no "AT" anywhere.
std::string WithAtPrefix(const std::string& command);
// Sends the reset string (WithAtPrefix) and a carriage return and waits about 2 s for
// "OK", without letting other messages run. False on time-out or any failure.
bool SendResetString(TComPort& port, const std::string& reset);
// "AT&F", as SendResetString.
bool FactoryReset(TComPort& port);

}  // namespace ql
