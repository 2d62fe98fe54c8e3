#pragma once
// What a virtual modem says about itself. Fax programs ask at start which modem they
// have: ATI0 to ATI3, the Class 2 reports +FMFR?, +FMDL?, +FREV?, their Class 2.0 and
// Class 1 names +FMI?, +FMM?, +FMR?, and the generic +GMI?, +GMM?, +GMR?. Every class
// answers all of them with this modem's own texts.

#include <optional>
#include <string>

namespace ql::vmodem {

struct ModemIdentity {
  static constexpr const char* kManufacturer = "Quillet";
  static constexpr const char* kModel = "Quillet virtual fax modem";
  static constexpr const char* kRevision = "1.0";
};

// The information text for a normalised command line ("ATI3", "AT+FMFR?"), or nothing
// when the line is not one of these commands.
std::optional<std::string> IdentityAnswer(const std::string& command);

}  // namespace ql::vmodem
