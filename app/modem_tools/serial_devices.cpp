#include "app/modem_tools/serial_devices.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "app/settings/settings.h"
#include "serial/device/device_layer.h"
#include "serial/device/port_lock_file.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

std::string Resolved(const std::string& path) {
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? path : real.string();
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A built-in serial port counts only when the kernel found a UART behind it (its type
// is not 0, "unknown").
bool HasUart(const fs::path& sysRoot, const std::string& name) {
  std::ifstream in(sysRoot / "class" / "tty" / name / "type");
  int type = 0;
  return (in >> type) && type != 0;
}

std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

bool IsVirtualFaxModem(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return false;
  if (!StartsWith(Resolved(path), "/dev/pts/")) return false;
  return fs::is_socket(fs::path(path).parent_path() / "control", ec);
}

std::string DeviceDescription(const std::string& path) {
  return IsVirtualFaxModem(path) ? std::string("virtual fax modem") : path;
}

std::string PortLabel(const TSettings& settings, int position) {
  std::string label = "Com" + std::to_string(position + 1);
  const std::string device = PortDevice(settings, position);
  if (!device.empty()) label += " - " + DeviceDescription(device);
  return label;
}

std::vector<std::string> PortLabels(const TSettings& settings) {
  std::vector<std::string> labels;
  for (int i = 0; i < kPortCount; ++i) labels.push_back(PortLabel(settings, i));
  return labels;
}

std::vector<std::string> ListSerialDevices(const fs::path& devRoot, const fs::path& sysRoot) {
  std::vector<std::string> found;
  std::set<std::string> covered;  // resolved paths already listed under a by-id link
  std::error_code ec;
  std::vector<std::string> byId;
  for (const auto& entry : fs::directory_iterator(devRoot / "serial" / "by-id", ec)) byId.push_back(entry.path().string());
  std::sort(byId.begin(), byId.end());
  for (const std::string& link : byId) {
    found.push_back(link);
    covered.insert(Resolved(link));
  }
  std::vector<std::string> plain;
  for (const auto& entry : fs::directory_iterator(devRoot, ec)) {
    const std::string name = entry.path().filename().string();
    const bool usb = StartsWith(name, "ttyACM") || StartsWith(name, "ttyUSB");
    if (!usb && !(StartsWith(name, "ttyS") && HasUart(sysRoot, name))) continue;
    if (covered.count(Resolved(entry.path().string())) == 0) plain.push_back(entry.path().string());
  }
  std::sort(plain.begin(), plain.end());
  found.insert(found.end(), plain.begin(), plain.end());
  return found;
}

std::vector<std::string> UnconfiguredSerialDevices(const TSettings& settings, const std::vector<std::string>& devices) {
  std::set<std::string> configured;
  for (int i = 0; i < kPortCount; ++i) {
    const std::string device = PortDevice(settings, i);
    if (!device.empty()) configured.insert(Resolved(device));
  }
  std::vector<std::string> rest;
  for (const std::string& d : devices)
    if (configured.count(Resolved(d)) == 0) rest.push_back(d);
  return rest;
}

int FreePortNumber(const TSettings& settings) {
  for (int i = 0; i < kPortCount; ++i) {
    std::error_code ec;
    const std::string device = PortDevice(settings, i);
    if (device.empty() || !fs::exists(device, ec)) return i + 1;
  }
  return -1;
}

std::string PermissionProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  if (::access(path.c_str(), R_OK | W_OK) == 0) return {};
  if (errno != EACCES && errno != EPERM) return {};
  const group* g = ::getgrgid(st.st_gid);
  const std::string name = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
  std::string text = "You may not use " + path + ": it belongs to the group \"" + name + "\"";
  gid_t groups[256];
  const int count = ::getgroups(256, groups);
  const bool member = std::find(groups, groups + std::max(count, 0), st.st_gid) != groups + std::max(count, 0);
  if (member)
    text += ", which cannot read and write it. Give the group read and write permission (a udev rule does it for good).";
  else
    text += " and you are not in that group. Add yourself (sudo adduser $USER " + name + ") and log in again.";
  return text;
}

std::string LockHolder(const std::string& path) {
  const std::string folder = LockDirectory();
  if (folder.empty()) return {};
  for (const std::string& candidate : {path, Resolved(path)}) {
    const std::string lock = LockFilePath(folder, candidate);
    std::error_code ec;
    if (!fs::exists(lock, ec)) continue;
    std::string text = lock;
    const std::string pid = ReadFirstLine(lock);
    const auto first = pid.find_first_not_of(' ');
    if (first != std::string::npos) {
      const std::string number = pid.substr(first);
      text += ", process " + number;
      const std::string program = ReadFirstLine(fs::path("/proc") / number / "comm");
      if (!program.empty()) text += " (" + program + ")";
    }
    return text;
  }
  return {};
}

}  // namespace ql
