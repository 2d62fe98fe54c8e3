#pragma once
// The driver's side of the hand-over: a finished APF fax and its descriptor put into the
// send folder as a new pair NAME.APF + NAME.ORQ, in the order the pickup relies on (the fax
// renamed into place first, the descriptor last), each under a temporary name until then.

#include <filesystem>
#include <string>
#include <string_view>

#include "app/pickup/driver_files.h"

namespace ql {

inline constexpr const char* kDriverFaxPrefix = "PRN";

struct DropResult {
  bool ok = false;
  std::filesystem::path apf;  // the fax's final path
  std::string error;
};

// A name in the send folder for the driver to write a fax to before it is dropped; the
// pickup never takes it (hidden, and neither ".APF" nor ".ORQ").
std::filesystem::path DriverWorkName(const std::filesystem::path& sendFolder);

// Moves (or, across file systems, copies) the fax into the send folder under the first
// name prefix + five digits whose ".APF" and ".ORQ" are both free in any case, taken
// without ever replacing a file another writer put there, then writes the descriptor.
// On failure nothing new is left in the send folder and the source fax stays where it was.
DropResult DropDriverFax(const std::filesystem::path& sendFolder, const std::filesystem::path& apf,
                         const FaxDescriptor& descriptor, std::string_view prefix = kDriverFaxPrefix);

}  // namespace ql
