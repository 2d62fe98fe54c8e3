// qlfax port: talks to a modem on a serial port through the comm port component. Sends a
// command line and waits for an answer, printing what arrives; optionally writes the
// port's trace and dispatch log.

#include <iostream>

#include "app/settings/settings.h"
#include "platform/clock.h"
#include "platform/message_windows/message_window.h"
#include "serial/comport/com_port.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args) {
  std::string com = "1", device, send, wait = "OK", timeout = "5", baud = "19200", trace, log;
  qlfax::TakeOption(args, "--com", com);
  qlfax::TakeOption(args, "--device", device);
  qlfax::TakeOption(args, "--send", send);
  qlfax::TakeOption(args, "--wait", wait);
  qlfax::TakeOption(args, "--timeout", timeout);
  qlfax::TakeOption(args, "--baud", baud);
  qlfax::TakeOption(args, "--trace", trace);
  qlfax::TakeOption(args, "--log", log);
  if (!args.empty()) return 2;
  const qlfax::Command& self = *qlfax::FindCommand("port");
  int number = 0, seconds = 0, rate = 0;
  try {
    number = std::stoi(com);
    seconds = std::stoi(timeout);
    rate = std::stoi(baud);
  } catch (const std::exception&) {
    return qlfax::Fail(self, "--com, --timeout and --baud take numbers", 2);
  }
  if (number < 1 || number > ql::kPortCount) return qlfax::Fail(self, "--com must be 1 to 6", 2);
  ql::LoadSettings();
  if (!device.empty()) ql::Settings().PortDevices[static_cast<std::size_t>(number - 1)] = device;
  ql::InstallHeadlessMessagePump();

  try {
    ql::TComPort port;
    port.SetComNumber(number);
    port.SetBaud(rate);
    port.SetAutoOpen(false);
    if (!trace.empty()) {
      port.SetTraceName(trace);
      port.SetTracing(ql::tlOn);
    }
    if (!log.empty()) {
      port.SetLogName(log);
      port.SetLogging(ql::tlOn);
    }
    port.OnWaitChar = [](ql::TCustomComPort&, char c) { std::cout << c << std::flush; };
    port.SetOpen(true);
    if (!send.empty()) port.SendString(send + "\r");
    const bool found = port.AwaitString(wait, ql::SecondsToTicks(seconds), true, true);
    port.SetOpen(false);  // writes the trace and the log
    std::cout << "\n";
    if (!found) return qlfax::Fail(self, "no \"" + wait + "\" within " + timeout + " s");
    return 0;
  } catch (const std::exception& e) {
    return qlfax::Fail(self, e.what());
  }
}

QLFAX_COMMAND("port", "[--com N] [--device PATH] [--send TEXT] [--wait TEXT] [--timeout S] [--baud B] [--trace FILE] [--log FILE]",
              "open serial port COMn, send TEXT and a CR, and print what arrives until TEXT of --wait (default OK)",
              Run);

}  // namespace
