#pragma once
// Which device a port number stands for. The serial layer does not know where that is
// configured: the program installs a resolver at start (the fax desk's reads its
// settings), and every comm port asks it each time it opens.

#include <functional>
#include <string>

namespace ql {

// The device path behind a port number (1 = COM1); an empty path: the number names no device.
using TPortDeviceResolver = std::function<std::string(int comNumber)>;

// Installs the resolver every comm port uses from now on; an empty one removes it.
void SetPortDeviceResolver(TPortDeviceResolver resolver);

// The device path of a port number through the installed resolver. Without a resolver
// no number names a device, and opening the port fails as for one that does not exist.
std::string ResolvePortDevice(int comNumber);

}  // namespace ql
