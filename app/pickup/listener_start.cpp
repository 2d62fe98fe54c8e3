#include "app/pickup/listener_start.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/data_folder.h"

namespace ql {

std::filesystem::path CupsServerBin() {
  const char* folder = std::getenv("QUILLET_CUPS_SERVERBIN");
  return folder != nullptr && folder[0] == '/' ? folder : "/usr/lib/cups";
}

bool FaxPrinterInstalled() {
  std::error_code ec;
  return std::filesystem::exists(CupsServerBin() / "backend" / kPrinterBackendName, ec);
}

bool StartPrintListener() {
  if (!FaxPrinterInstalled()) return false;
  const std::filesystem::path program = ExecutableFolder() / "ql-print";
  if (::access(program.c_str(), X_OK) != 0) return false;
  // Twice forked, so the listener is nobody's child and outlives the desk.
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    ::execl(program.c_str(), "ql-print", "--listen", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ql
