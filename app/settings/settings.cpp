#include "app/settings/settings.h"

#include "app/settings/work_folders.h"
#include "platform/ini_file.h"
#include "serial/errors/exceptions.h"

namespace ql {

std::array<std::string, kPortCount> TSettings::DefaultPortDevices() {
  // Most fax modems today are USB devices (ttyACM* for CDC modems, ttyUSB* behind a
  // serial adapter); the first two port numbers go to them, then the built-in ports.
  return {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyACM1", "/dev/ttyUSB1"};
}

TSettings& Settings() {
  static TSettings settings;
  return settings;
}

std::filesystem::path SettingsFile() { return AppFolderPath() / "QL.INI"; }

void LoadSettings(const std::filesystem::path& iniPath, TSettings& s) {
  const IniFile ini(iniPath);
  s.Fax = ini.ReadString("User", "Fax", "");
  s.Name = ini.ReadString("User", "Name", "");
  s.Voice = ini.ReadString("User", "Voice", "");
  s.Company = ini.ReadString("User", "Company", "");
  s.DialPrefix = ini.ReadString("Dialing", "DialPrefix", "");
  s.DialAttempts = ini.ReadInteger("Dialing", "DialAttempts", 3);
  s.RetryWait = ini.ReadInteger("Dialing", "RetryWait", 60);
  s.BlindDial = ini.ReadBool("Dialing", "BlindDial", false);
  s.IgnoreBusy = ini.ReadBool("Dialing", "IgnoreBusy", false);
  s.ToneOrPulse = ini.ReadInteger("Dialing", "ToneOrPulse", 0);
  s.Timeout = ini.ReadInteger("Dialing", "Timeout", 60);
  s.InitString = ini.ReadString("Modem", "InitString", "");
  s.ComPort = ini.ReadInteger("Modem", "ComPort", -1);
  s.FaxClass = ini.ReadInteger("Modem", "FaxClass", 0);
  // Only the listed rates mean anything to a fax modem; any other value stands for 9600.
  s.MaximumBPS = ListPositionToBps(BpsToListPosition(ini.ReadInteger("Modem", "MaximumBPS", 9600)));
  s.ResetString = ini.ReadString("Resetting", "String", "");
  s.ResetAfterString = ini.ReadString("Resetting", "AfterString", "");
  s.Wav = ini.ReadString("Receive", "Wav", "");
  s.AnswerOnRing = ini.ReadInteger("Receive", "AnswerOnRing", 1);
  s.HintsOn = ini.ReadBool("Hints", "On", true);
  s.TransmissionReport = ini.ReadBool("Sending", "TransmissionReport", false);
  const auto defaults = TSettings::DefaultPortDevices();
  for (int i = 0; i < kPortCount; ++i)
    s.PortDevices[i] = ini.ReadString("Ports", "COM" + std::to_string(i + 1), defaults[i]);
}

void SaveSettings(const std::filesystem::path& iniPath, const TSettings& s) {
  IniFile ini(iniPath);
  ini.WriteString("User", "Fax", s.Fax);
  ini.WriteString("User", "Name", s.Name);
  ini.WriteString("User", "Voice", s.Voice);
  ini.WriteString("User", "Company", s.Company);
  ini.WriteString("Dialing", "DialPrefix", s.DialPrefix);
  ini.WriteString("Modem", "InitString", s.InitString);
  ini.WriteInteger("Dialing", "DialAttempts", s.DialAttempts);
  ini.WriteInteger("Dialing", "RetryWait", s.RetryWait);
  ini.WriteBool("Dialing", "BlindDial", s.BlindDial);
  ini.WriteBool("Dialing", "IgnoreBusy", s.IgnoreBusy);
  ini.WriteInteger("Modem", "ComPort", s.ComPort);
  ini.WriteInteger("Modem", "FaxClass", s.FaxClass);
  ini.WriteInteger("Modem", "MaximumBPS", s.MaximumBPS);
  ini.WriteInteger("Dialing", "ToneOrPulse", s.ToneOrPulse);
  ini.WriteInteger("Dialing", "Timeout", s.Timeout);
  ini.WriteString("Resetting", "String", s.ResetString);
  ini.WriteString("Resetting", "AfterString", s.ResetAfterString);
  ini.WriteString("Receive", "Wav", s.Wav);
  ini.WriteInteger("Receive", "AnswerOnRing", s.AnswerOnRing);
  ini.WriteBool("Hints", "On", s.HintsOn);
  ini.WriteBool("Sending", "TransmissionReport", s.TransmissionReport);
  for (int i = 0; i < kPortCount; ++i) ini.WriteString("Ports", "COM" + std::to_string(i + 1), s.PortDevices[i]);
  // The file is replaced whole, so a refused write leaves the previous file intact.
  if (!ini.Save()) throw Exception("Unable to write to " + iniPath.string());
}

void LoadSettings() { LoadSettings(SettingsFile(), Settings()); }
void SaveSettings() { SaveSettings(SettingsFile(), Settings()); }

std::string PortDevice(const TSettings& settings, int comPortIndex) {
  if (comPortIndex < 0 || comPortIndex >= kPortCount) return {};
  return settings.PortDevices[static_cast<std::size_t>(comPortIndex)];
}

int BpsToListPosition(int bps) {
  for (std::size_t i = 0; i < kMaximumBpsRates.size(); ++i)
    if (kMaximumBpsRates[i] == bps) return static_cast<int>(i);
  return 3;
}

int ListPositionToBps(int position) {
  if (position < 0 || position >= static_cast<int>(kMaximumBpsRates.size())) return 9600;
  return kMaximumBpsRates[static_cast<std::size_t>(position)];
}

}  // namespace ql
