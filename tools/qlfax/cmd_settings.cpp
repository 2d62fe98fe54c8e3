// qlfax settings: shows the data folder and every setting, as the programs read them.

#include <iostream>

#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args) {
  const bool save = qlfax::TakeFlag(args, "--save");
  if (!args.empty()) return 2;
  ql::TSettings& s = ql::Settings();
  ql::LoadSettings();
  if (save) {
    ql::EnsureWorkFolders();
    ql::SaveSettings();
  }
  std::cout << "Data folder: " << ql::AppFolder() << "\n"
            << "Settings file: " << ql::SettingsFile().string() << "\n"
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

QLFAX_COMMAND("settings", "[--save]",
              "show the data folder and the settings (--save writes QL.INI whole and makes the work folders)",
              Run);

}  // namespace
