#pragma once
// Names for received faxes when the receive component is not told one: the first free
// candidate for n = 1 to 9999.
//   naming mode 1: "FAX" + n as four digits + "." + extension (FAX0001.APF ...);
//   naming mode 2: month and day of today as two digits each + n as four digits;
// in the destination folder when one is given. With all 9999 taken the name is
// "NONAME.APF" (no folder); any other naming mode gives "noname.apf".

#include <ctime>
#include <string>

namespace ql {

std::string ReceivedFileName(int namingMode, const std::string& destinationDir, const std::string& extension,
                             std::time_t now = std::time(nullptr));

}  // namespace ql
