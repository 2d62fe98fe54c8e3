#pragma once
// The fax printer's per-user listener (ql-print --listen) is started by the fax desk when
// the printer is installed, so documents printed to it reach this user's desktop. A
// listener already running keeps its place and the new one ends at once.

#include <filesystem>

namespace ql {

inline constexpr const char* kPrinterBackendName = "quillet-fax";

// CUPS's program folder: QUILLET_CUPS_SERVERBIN, else /usr/lib/cups.
std::filesystem::path CupsServerBin();
// Whether the fax printer's backend is installed in CUPS's backend folder.
bool FaxPrinterInstalled();

// Starts ql-print --listen beside the running program, detached from it, when the fax
// printer is installed. True when it was started.
bool StartPrintListener();

}  // namespace ql
