#pragma once
// The program's settings: one process-wide set of values kept in "QL.INI" in the data
// folder, loaded once at start-up and written back whole whenever a window changes one.

#include <array>
#include <filesystem>
#include <string>

namespace ql {

inline constexpr int kPortCount = 6;  // COM1 to COM6

struct TSettings {
  // [User]
  std::string Fax;       // own fax number, sent as station ID
  std::string Name;      // own name
  std::string Voice;     // own voice number
  std::string Company;   // own company
  // [Dialing]
  std::string DialPrefix;
  int DialAttempts = 3;
  int RetryWait = 60;    // seconds between dial attempts
  bool BlindDial = false;
  bool IgnoreBusy = false;
  int ToneOrPulse = 0;   // 0 tone, 1 pulse
  int Timeout = 60;      // seconds to wait after dialling
  // [Modem]
  std::string InitString;  // typed without "AT"
  int ComPort = -1;        // 0 = COM1 ... 5 = COM6; -1 = never set (first run)
  int FaxClass = 0;        // 0 auto detect, 1 Class 1, 2 Class 2, 3 Class 2.0
  int MaximumBPS = 9600;
  // [Resetting]
  std::string ResetString;       // key "String"
  std::string ResetAfterString;  // key "AfterString"
  // [Receive]
  std::string Wav;        // sound played when a fax has been received
  int AnswerOnRing = 1;   // 1 to 3
  // [Hints]
  bool HintsOn = true;    // key "On"
  // [Sending] "TransmissionReport": a PDF report after each send.
  bool TransmissionReport = false;
  // [Ports] "COM1" to "COM6": the device path behind each port number.
  std::array<std::string, kPortCount> PortDevices = DefaultPortDevices();

  static std::array<std::string, kPortCount> DefaultPortDevices();
};

// The process-wide settings.
TSettings& Settings();

// Reads every key of "QL.INI" into the settings, applying defaults. ComPort -1 is kept.
void LoadSettings(const std::filesystem::path& iniPath, TSettings& settings);
// Writes every key, in the fixed order, and then the port devices. Throws ql::Exception
// with the message "Unable to write to <path>" when the file cannot be written.
void SaveSettings(const std::filesystem::path& iniPath, const TSettings& settings);

// The same on the process-wide settings and the data folder's "QL.INI".
void LoadSettings();
void SaveSettings();
std::filesystem::path SettingsFile();

// The device path of a port index (0 = COM1); empty for an index out of range.
std::string PortDevice(const TSettings& settings, int comPortIndex);

// The rates offered for MaximumBPS, in list order, and the mapping both ways. Any rate
// not in the list, and any unknown position, stands for 9600 (position 3).
inline constexpr std::array<int, 6> kMaximumBpsRates = {2400, 4800, 7200, 9600, 12000, 14400};
int BpsToListPosition(int bps);
int ListPositionToBps(int position);

}  // namespace ql
