#include "app/modem_tools/modem_port.h"

#include "app/modem_tools/serial_devices.h"
#include "app/settings/work_folders.h"
#include "platform/text.h"
#include "serial/comport/com_port.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"
#include "serial/errors/exceptions.h"

namespace ql {
namespace {

constexpr const char* kCR = "\r";

std::string Upper(std::string s) {
  for (char& c : s) c = AsciiUpper(c);
  return s;
}

}  // namespace

void ConfigureModemPort(TComPort& port, const std::string& traceFile, const std::string& logFile, int traceSize) {
  port.SetAutoOpen(false);
  port.SetTapiMode(tmOff);
  port.SetInSize(8192);
  port.SetOutSize(8192);
  port.SetHWFlowOptions({hwfUseRTS, hwfRequireCTS});
  port.SetBufferFull(7372);
  port.SetBufferResume(819);
  port.SetTraceSize(traceSize);
  port.SetTraceName((AppFolderPath() / traceFile).string());
  port.SetLogName((AppFolderPath() / logFile).string());
}

std::string OpenFailureText(int comNumber, int code, const std::string& device) {
  const std::string n = std::to_string(comNumber);
  if (code == ecAlreadyOpen || code == ecHardware) {
    // The device layer reports a device this user may not open like one in use; the
    // two need different fixes.
    const std::string permission = PermissionProblem(device);
    if (!permission.empty())
      return "Unable to open the specified communications port ( Com" + n + " )" + kCR + permission;
    std::string text = "The communications port is in use ( Com " + n + " )" + kCR + kCR +
                       "Please make sure that all communication " + "programs (internet, AOL, etc) are closed, and then try " +
                       "again.";
    const std::string holder = LockHolder(device);
    if (!holder.empty()) text += std::string(kCR) + "It is held by the lock file " + holder + ".";
    return text;
  }
  if (code == ecBadId) {
    std::string text = "Unable to open the specified communications port ( Com" + n + " )";
    if (!device.empty()) text += std::string(kCR) + "There is no device " + device + ".";
    return text;
  }
  const std::string message = ErrorText(code);
  return "Unable to open the specified communications port ( Com" + n + " )" + kCR + "Error message: " +
         (message.empty() ? std::string("Unknown error") : message);
}

bool OpenModemPort(TComPort& port, std::string& error) {
  try {
    port.SetOpen(true);
    return true;
  } catch (const std::exception& e) {
    const int code = CodeOfException(e);
    if (code != ecUnknownException && code != 0)
      error = OpenFailureText(port.ComNumber(), code, ResolvePortDevice(port.ComNumber()));
    else
      error = "Unable to open the specified communications port( Com" + std::to_string(port.ComNumber()) + " )" + kCR +
              "Error message: " + e.what();
  }
  return false;
}

std::string WithAtPrefix(const std::string& command) {
  return Upper(command).find("AT") == std::string::npos ? "AT" + command : command;
}

bool SendResetString(TComPort& port, const std::string& reset) {
  try {
    port.SendString(WithAtPrefix(reset) + "\r");
    return port.AwaitString("OK", kResetWaitTicks, true, false);
  } catch (...) {
    return false;
  }
}

bool FactoryReset(TComPort& port) { return SendResetString(port, "AT&F"); }

}  // namespace ql
