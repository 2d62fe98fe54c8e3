#include "tools/qlvmodem/modem_identity.h"

#include <cstdint>
#include <cstdio>

namespace ql::vmodem {

namespace {
// The check sum ATI1 reports, over the texts the modem identifies itself with, so it
// changes when they do, as a firmware check sum would.
std::string CheckSum() {
  uint16_t sum = 0xFFFF;
  for (const char* text : {ModemIdentity::kManufacturer, ModemIdentity::kModel, ModemIdentity::kRevision}) {
    for (const char* c = text; *c != '\0'; ++c) {
      sum ^= static_cast<uint8_t>(*c);
      for (int bit = 0; bit < 8; ++bit) sum = (sum & 1) != 0 ? static_cast<uint16_t>((sum >> 1) ^ 0xA001) : sum >> 1;
    }
  }
  char text[8];
  std::snprintf(text, sizeof text, "%04X", sum);
  return text;
}
}  // namespace

std::optional<std::string> IdentityAnswer(const std::string& command) {
  const std::string model = ModemIdentity::kModel;
  if (command == "ATI" || command == "ATI0") return "QLVM144";  // product code: virtual, 14400 bit/s
  if (command == "ATI1") return CheckSum();
  if (command == "ATI2") return "ROM test passed";
  if (command == "ATI3") return model + ", revision " + ModemIdentity::kRevision;
  for (const char* name : {"AT+FMFR?", "AT+FMI?", "AT+GMI?"})
    if (command == name) return ModemIdentity::kManufacturer;
  for (const char* name : {"AT+FMDL?", "AT+FMM?", "AT+GMM?"})
    if (command == name) return model;
  for (const char* name : {"AT+FREV?", "AT+FMR?", "AT+GMR?"})
    if (command == name) return ModemIdentity::kRevision;
  return std::nullopt;
}

}  // namespace ql::vmodem
