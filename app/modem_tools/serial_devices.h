#pragma once
// The serial devices of this machine as the modem tools show them: which device stands
// behind a port number, which devices exist that no port number names, and why one
// cannot be opened (no permission, or another program holds it).

#include <filesystem>
#include <string>
#include <vector>

namespace ql {

struct TSettings;

// "virtual fax modem" for a modem of the virtual fax line, otherwise the path itself.
std::string DeviceDescription(const std::string& path);
// A link to a pseudo-terminal in a folder that holds a virtual fax line's control socket.
bool IsVirtualFaxModem(const std::string& path);

// "Com1 - /dev/ttyACM0" (or "Com1 - virtual fax modem") for list position 0 to 5.
std::string PortLabel(const TSettings& settings, int position);
std::vector<std::string> PortLabels(const TSettings& settings);

// Serial devices that exist: the links of /dev/serial/by-id (their names tell maker and
// model), ttyACM*, ttyUSB*, and ttyS* with a UART behind it. A device that a by-id link
// points at is listed once, under its link. The roots are "/dev" and "/sys" except in tests.
std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot = "/dev",
                                           const std::filesystem::path& sysRoot = "/sys");
// The listed devices that none of the six port numbers names (compared as resolved paths).
std::vector<std::string> UnconfiguredSerialDevices(const TSettings& settings,
                                                   const std::vector<std::string>& devices);
// The first port number (1 to 6) whose device does not exist, or -1.
int FreePortNumber(const TSettings& settings);

// Why this user may not open a device, with the fix: the device's group and that the
// user is not in it. Empty when the user may open it (or it does not exist).
std::string PermissionProblem(const std::string& path);
// The lock file by which another program holds a device, with its process when known
// ("/var/lock/LCK..ttyACM0, process 4711 (minicom)"); empty when none holds it.
std::string LockHolder(const std::string& path);

}  // namespace ql
