#pragma once
// The programs' link between the comm ports and the settings: each of ql, qlpick and
// qlfax calls this once at start.

namespace ql {

// Makes every comm port find the device of its number in the settings' section [Ports]
// ("COMn" = device path). The settings are read at each open, so a port changed in the
// preferences or on the command line counts from the next open.
void InstallSettingsPortResolver();

}  // namespace ql
