// qlfax settings: shows the data folder and every setting, as the programs read them.

#include <cstdlib>
#include <iostream>

#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "platform/data_folder.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args) {
  bool save = qlfax::TakeFlag(args, "--save");
  std::string port;
  const bool setPort = qlfax::TakeOption(args, "--port", port);
  if (!args.empty()) return 2;
  ql::TSettings& s = ql::Settings();
  ql::LoadSettings();
  if (setPort) {
    // N=PATH: the device behind port COMn.
    const auto eq = port.find('=');
    const int n = eq == std::string::npos ? 0 : std::atoi(port.substr(0, eq).c_str());
    if (n < 1 || n > ql::kPortCount || eq + 1 >= port.size()) return 2;
    s.PortDevices[static_cast<std::size_t>(n - 1)] = port.substr(eq + 1);
    save = true;
  }
  if (save) {
    ql::EnsureWorkFolders();
    ql::SaveSettings();
  }
  std::cout << "Data folder: " << ql::AppFolder() << "\n"
            << "Settings file: " << ql::SettingsFile().string() << "\n"
            << "Installed data: " << ql::InstalledDataFolder().string() << "\n"
            << "[User] Fax=" << s.Fax << " Name=" << s.Name << " Voice=" << s.Voice << " Company=" << s.Company << "\n"
            << "[Dialing] DialPrefix=" << s.DialPrefix << " DialAttempts=" << s.DialAttempts
            << " RetryWait=" << s.RetryWait << " BlindDial=" << s.BlindDial << " IgnoreBusy=" << s.IgnoreBusy
            << " ToneOrPulse=" << s.ToneOrPulse << " Timeout=" << s.Timeout << "\n"
            << "[Modem] InitString=" << s.InitString << " ComPort=" << s.ComPort << " FaxClass=" << s.FaxClass
            << " MaximumBPS=" << s.MaximumBPS << "\n"
            << "[Resetting] String=" << s.ResetString << " AfterString=" << s.ResetAfterString << "\n"
            << "[Receive] Wav=" << s.Wav << " AnswerOnRing=" << s.AnswerOnRing << "\n"
            << "[Hints] On=" << s.HintsOn << "\n"
            << "[Ports]";
  for (int i = 0; i < ql::kPortCount; ++i) std::cout << " COM" << i + 1 << "=" << s.PortDevices[i];
  std::cout << "\n";
  return 0;
}

QLFAX_COMMAND("settings", "[--save] [--port N=DEVICE]",
              "show the data folder, the installed data and the settings (--save writes QL.INI whole and makes the work folders;"
              " --port sets the device of port COMn and saves)",
              Run);

}  // namespace
