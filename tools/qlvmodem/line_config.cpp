#include "tools/qlvmodem/line_config.h"

#include <cctype>
#include <set>

namespace ql::vmodem {

namespace {

bool ParseSeconds(const std::string& text, double low, double high, double* out) {
  try {
    size_t used = 0;
    double value = std::stod(text, &used);
    if (used != text.size() || value < low || value > high) return false;
    *out = value;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool ValidNumber(const std::string& number) {
  return !number.empty() && number == DialledNumber(number) && number.size() <= 20;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) return false;
  return name != "." && name != "..";
}

// NAME=NUMBER[:CLASSES], classes joined by '+' (e.g. ttyFAX0=100:1+2+2.0).
std::optional<ModemOptions> ParseModem(const std::string& text, const std::filesystem::path& dir, std::string* error) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    *error = "--modem wants NAME=NUMBER[:CLASSES], got '" + text + "'";
    return std::nullopt;
  }
  ModemOptions modem;
  modem.name = text.substr(0, eq);
  std::string rest = text.substr(eq + 1);
  size_t colon = rest.find(':');
  modem.number = rest.substr(0, colon);
  if (!ValidName(modem.name) || !ValidNumber(modem.number)) {
    *error = "bad modem name or number in '" + text + "'";
    return std::nullopt;
  }
  if (colon != std::string::npos) {
    modem.classes.clear();
    std::string list = rest.substr(colon + 1);
    size_t start = 0;
    while (!list.empty() && start <= list.size()) {
      size_t plus = list.find('+', start);
      std::string cls = list.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
      if (cls != "1" && cls != "2" && cls != "2.0") {
        *error = "modem class '" + cls + "' is not available (classes: 1, 2, 2.0)";
        return std::nullopt;
      }
      modem.classes.push_back(cls);
      if (plus == std::string::npos) break;
      start = plus + 1;
    }
  }
  modem.link = dir / modem.name;
  return modem;
}

// NUMBER[:IDENT]
std::optional<RemoteOptions> ParseRemote(const std::string& text, const std::filesystem::path& dir,
                                         std::string* error) {
  RemoteOptions remote;
  size_t colon = text.find(':');
  remote.number = text.substr(0, colon);
  if (colon != std::string::npos) remote.ident = text.substr(colon + 1, 20);
  if (!ValidNumber(remote.number)) {
    *error = "bad remote number in '" + text + "'";
    return std::nullopt;
  }
  remote.folder = dir / ("remote-" + remote.number);
  return remote;
}

}  // namespace

std::string LineUsage() {
  return "Usage: qlvmodem [OPTION]...\n"
         "  or:  qlvmodem [--dir DIR] --control COMMAND\n"
         "The virtual fax line: software fax modems on pseudo-terminals and remote fax machines on a telephone exchange.\n"
         "\n"
         "Starts a virtual fax line: each modem is a pseudo-terminal linked at DIR/NAME, each remote\n"
         "an answering fax machine keeping what it receives in DIR/remote-NUMBER. Defaults:\n"
         "--modem ttyFAX0=100 --modem ttyFAX1=101 without --modem and --remote; --remote 200\n"
         "without --remote (unless a modem has that number).\n"
         "\n"
         "Options:\n"
         "  --home DIR                     use DIR as the data folder\n"
         "  --dir DIR                      the line's folder (default: vline/ in the data folder)\n"
         "  --modem NAME=NUMBER[:CLASSES]  a modem with its number and fax classes (1, or 1+2+2.0)\n"
         "  --remote NUMBER[:IDENT]        a remote fax machine with its number and station ID\n"
         "  --speed N|max                  run calls between remotes N times faster than real time\n"
         "                                 (max: unpaced); calls with a modem always run in real time\n"
         "  --ring-period SECONDS          one ring cadence (default 6)\n"
         "  --log FILE                     the call log (default DIR/calls.log)\n"
         "  --trace                        show the T.30 trace of the remotes and of the Class 2\n"
         "                                 modems' own sessions\n"
         "  --trace-dir DIR                write a file per modem call into DIR: each command,\n"
         "                                 response, frame, block of page data and carrier, and a\n"
         "                                 Class 2 modem's steps\n"
         "  --control COMMAND              send a command to the running line in DIR: status,\n"
         "                                 send NUMBER TIFF [IDENT], received NUMBER,\n"
         "                                 fault NUMBER NAME [VALUE], stop\n"
         "  -h, --help                     show this help and exit\n"
         "  --version                      show the version and exit\n";
}

std::optional<LineConfig> ParseLineArguments(const std::vector<std::string>& args,
                                             const std::filesystem::path& defaultDir, std::string* error) {
  LineConfig config;
  config.dir = defaultDir;
  std::vector<std::string> modems;
  std::vector<std::string> remotes;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--dir") {
      if (!value(&v)) return std::nullopt;
      config.dir = v;
    } else if (arg == "--modem") {
      if (!value(&v)) return std::nullopt;
      modems.push_back(v);
    } else if (arg == "--remote") {
      if (!value(&v)) return std::nullopt;
      remotes.push_back(v);
    } else if (arg == "--speed") {
      if (!value(&v)) return std::nullopt;
      if (v == "max") {
        config.speed = 0;
      } else if (!ParseSeconds(v, 1, 100000, &config.speed)) {
        *error = "--speed wants a factor from 1 or 'max', got '" + v + "'";
        return std::nullopt;
      }
    } else if (arg == "--ring-period") {
      if (!value(&v)) return std::nullopt;
      if (!ParseSeconds(v, 0.2, 60, &config.timing.ringPeriodSeconds)) {
        *error = "--ring-period wants seconds from 0.2 to 60, got '" + v + "'";
        return std::nullopt;
      }
    } else if (arg == "--trace") {
      config.trace = true;
    } else if (arg == "--trace-dir") {
      if (!value(&v)) return std::nullopt;
      config.traceDir = v;
    } else if (arg == "--log") {
      if (!value(&v)) return std::nullopt;
      config.logPath = v;
    } else {
      *error = "unknown argument '" + arg + "'";
      return std::nullopt;
    }
  }
  if (modems.empty() && remotes.empty()) modems = {"ttyFAX0=100", "ttyFAX1=101"};
  const bool defaultRemote = remotes.empty();
  std::set<std::string> numbers;
  std::set<std::string> names;
  for (const auto& text : modems) {
    auto modem = ParseModem(text, config.dir, error);
    if (!modem) return std::nullopt;
    if (!numbers.insert(modem->number).second || !names.insert(modem->name).second) {
      *error = "number or name used twice: '" + text + "'";
      return std::nullopt;
    }
    modem->trace = config.trace;
    modem->traceDir = config.traceDir;
    config.modems.push_back(*modem);
  }
  // A line with modems only still has the remote fax at 200 to dial, unless a modem has
  // that number.
  if (defaultRemote && numbers.count("200") == 0) remotes = {"200"};
  for (const auto& text : remotes) {
    auto remote = ParseRemote(text, config.dir, error);
    if (!remote) return std::nullopt;
    if (!numbers.insert(remote->number).second) {
      *error = "number used twice: '" + text + "'";
      return std::nullopt;
    }
    remote->trace = config.trace;
    config.remotes.push_back(*remote);
  }
  if (config.logPath.empty()) config.logPath = config.dir / "calls.log";
  return config;
}

}  // namespace ql::vmodem
