#include "serial/device/build_state.h"

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"

namespace ql {

namespace {

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  value = static_cast<uint32_t>(std::stoul(text));
  return true;
}

bool ParseParity(const std::string& text, uint8_t& parity) {
  static const std::string kLetters = "noems";
  if (text.size() != 1 || kLetters.find(text[0]) == std::string::npos) return false;
  parity = static_cast<uint8_t>(kLetters.find(text[0]));
  return true;
}

bool ParseDataBits(const std::string& text, uint8_t& size) {
  uint32_t v = 0;
  if (!ParseNumber(text, v) || v < 5 || v > 8) return false;
  size = static_cast<uint8_t>(v);
  return true;
}

bool ParseStopBits(const std::string& text, uint8_t& stop) {
  if (text == "1") stop = kOneStopBit;
  else if (text == "1.5") stop = kOne5StopBits;
  else if (text == "2") stop = kTwoStopBits;
  else return false;
  return true;
}

bool ParseLineControl(const std::string& text, uint8_t& mode) {
  if (text == "on") mode = kLineControlEnable;
  else if (text == "off") mode = kLineControlDisable;
  else if (text == "hs") mode = kLineControlHandshake;
  else return false;
  return true;
}

bool ParseOnOff(const std::string& text, bool& flag) {
  if (text != "on" && text != "off") return false;
  flag = text == "on";
  return true;
}

bool BuildFromKeys(const std::string& text, TCommState& s) {
  std::istringstream words(text);
  std::string word;
  bool any = false;
  while (words >> word) {
    const auto eq = word.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    bool ok = false;
    if (key == "baud") ok = ParseNumber(value, s.BaudRate);
    else if (key == "parity") ok = ParseParity(value, s.Parity);
    else if (key == "data") ok = ParseDataBits(value, s.ByteSize);
    else if (key == "stop") ok = ParseStopBits(value, s.StopBits);
    else if (key == "xon") ok = ParseOnOff(value, s.OutX), s.InX = s.OutX;
    else if (key == "octs") ok = ParseOnOff(value, s.OutxCtsFlow);
    else if (key == "odsr") ok = ParseOnOff(value, s.OutxDsrFlow);
    else if (key == "dtr") ok = ParseLineControl(value, s.DtrControl);
    else if (key == "rts") ok = ParseLineControl(value, s.RtsControl);
    if (!ok) return false;
    any = true;
  }
  return any;
}

bool BuildFromList(std::string text, TCommState& s) {
  if (const auto colon = text.find(':'); colon != std::string::npos) text.erase(0, colon + 1);
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, ',')) {
    fields.emplace_back(Trim(field));
  }
  if (fields.empty() || fields.size() > 5 || !ParseNumber(fields[0], s.BaudRate)) return false;
  if (fields.size() > 1 && !ParseParity(fields[1], s.Parity)) return false;
  if (fields.size() > 2 && !ParseDataBits(fields[2], s.ByteSize)) return false;
  if (fields.size() > 3 && !ParseStopBits(fields[3], s.StopBits)) return false;
  if (fields.size() > 4) {
    if (fields[4] == "x") s.OutX = s.InX = true;
    else if (fields[4] == "p") s.OutxCtsFlow = true, s.RtsControl = kLineControlHandshake;
    else return false;
  }
  return true;
}

}  // namespace

bool BuildCommState(const char* definition, TCommState& state) {
  if (definition == nullptr) return false;
  const std::string text = ToLowerAscii(definition);
  TCommState result = state;
  const bool ok = text.find('=') != std::string::npos ? BuildFromKeys(text, result) : BuildFromList(text, result);
  if (ok) state = result;
  return ok;
}

}  // namespace ql
