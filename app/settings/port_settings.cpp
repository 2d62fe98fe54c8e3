#include "app/settings/port_settings.h"

#include "app/settings/settings.h"
#include "serial/comport/port_device_resolver.h"

namespace ql {

void InstallSettingsPortResolver() {
  SetPortDeviceResolver([](int comNumber) { return PortDevice(Settings(), comNumber - 1); });
}

}  // namespace ql
