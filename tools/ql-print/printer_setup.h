#pragma once
// ql-print --install-printer / --remove-printer: the "Quillet-Fax" CUPS queue, its
// backend, and the session autostart entry that starts each user's listener.
//
// Installing copies the backend into CUPS's backend folder (mode 0700, owned by root, so
// CUPS runs it as root and it can reach every user's listener), adds the queue with a PPD
// of ours (paper sizes; PDF and PostScript passed through unchanged) and the error policy
// "abort-job" (a job that cannot be handed over fails alone and the queue goes on), and
// writes the autostart entry. It needs root; otherwise it asks for it through pkexec or
// sudo. lpadmin talks to the server named by CUPS_SERVER, as every CUPS client does.

#include <filesystem>
#include <string>
#include <vector>

#include "app/pickup/listener_start.h"

namespace ql::print {

inline constexpr const char* kQueueName = "Quillet-Fax";
inline constexpr const char* kBackendName = kPrinterBackendName;

struct TPrinterSetup {
  std::filesystem::path backendSource;  // the backend built with ql-print
  std::filesystem::path serverBin;      // CUPS's program folder (its backends in backend/)
  std::filesystem::path autostartDir;   // the system-wide session autostart folder
};

// The backend beside ql-print (../lib/quillet/quillet-fax), CUPS's folder
// (QUILLET_CUPS_SERVERBIN, else /usr/lib/cups) and $XDG_CONFIG_DIRS' first folder
// (/etc/xdg when unset) + autostart.
TPrinterSetup DefaultPrinterSetup();

// 0 on success; otherwise the reason has been printed on standard error.
int InstallPrinter(const TPrinterSetup& setup);
int RemovePrinter(const TPrinterSetup& setup);

// The queue's PPD.
std::string PrinterPpd();

// Runs ql-print again with the arguments through pkexec (in a graphical session) or sudo;
// its exit status, or 1 when neither is there.
int RunAsRoot(const std::vector<std::string>& arguments);

}  // namespace ql::print
