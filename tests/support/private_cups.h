#pragma once
// A CUPS server of a test's own: configuration, spool, state and logs in a folder of the
// test, listening only on a local socket in that folder, its program folder made of the
// system's (filters, daemons) with a backend folder of its own. Programs run through Run()
// talk to it (CUPS_SERVER). cupsd must run as root; Start() says why it could not start.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "tests/support/program_output.h"

namespace ql::testing {

class PrivateCups {
 public:
  // `environment`: variables cupsd hands to its backends (SetEnv).
  explicit PrivateCups(std::filesystem::path folder, std::map<std::string, std::string> environment = {})
      : folder_(std::move(folder)), environment_(std::move(environment)) {}
  ~PrivateCups() { Stop(); }
  PrivateCups(const PrivateCups&) = delete;
  PrivateCups& operator=(const PrivateCups&) = delete;

  std::filesystem::path Socket() const { return folder_ / "cups.sock"; }
  std::filesystem::path ServerBin() const { return folder_ / "serverbin"; }
  std::filesystem::path Spool() const { return folder_ / "spool"; }
  std::filesystem::path ErrorLog() const { return folder_ / "log" / "error_log"; }

  bool Start(std::string& why) {
    if (::geteuid() != 0) {
      why = "cupsd needs root";
      return false;
    }
    namespace fs = std::filesystem;
    for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "serverbin/backend"})
      fs::create_directories(folder_ / sub);
    for (const char* sub : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"})
      if (fs::exists(fs::path("/usr/lib/cups") / sub)) fs::create_directory_symlink(fs::path("/usr/lib/cups") / sub, ServerBin() / sub);
    // cupsd runs only programs that no one but root may change.
    ::chmod(folder_.c_str(), 0755);
    ::chmod((folder_ / "serverbin").c_str(), 0755);
    ::chmod((folder_ / "serverbin" / "backend").c_str(), 0755);
    std::ofstream(folder_ / "etc" / "cupsd.conf")
        << "Listen " << Socket().string() << "\n"
        << "LogLevel info\nPreserveJobFiles No\nPreserveJobHistory Yes\nWebInterface No\nBrowsing No\n"
        << "DefaultAuthType None\n"
        << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        << "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    std::ofstream files(folder_ / "etc" / "cups-files.conf");
    files << "ServerRoot " << (folder_ / "etc").string() << "\nRequestRoot " << Spool().string()
          << "\nTempDir " << (Spool() / "tmp").string() << "\nCacheDir " << (folder_ / "cache").string()
          << "\nStateDir " << (folder_ / "state").string() << "\nServerBin " << ServerBin().string()
          << "\nAccessLog " << (folder_ / "log" / "access_log").string() << "\nErrorLog " << ErrorLog().string()
          << "\nPageLog " << (folder_ / "log" / "page_log").string()
          << "\nSystemGroup root\nFileDevice No\nSandboxing Relaxed\n";
    for (const auto& [name, value] : environment_) files << "SetEnv " << name << " " << value << "\n";
    files.close();

    pid_ = ::fork();
    if (pid_ < 0) {
      why = "fork failed";
      return false;
    }
    if (pid_ == 0) {
      const std::string conf = (folder_ / "etc" / "cupsd.conf").string();
      const std::string filesConf = (folder_ / "etc" / "cups-files.conf").string();
      const std::string log = (folder_ / "log" / "cupsd.out").string();
      std::freopen(log.c_str(), "w", stdout);
      std::freopen(log.c_str(), "a", stderr);
      ::execlp("cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", filesConf.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 200; ++i) {
      if (Run("lpstat -r").find("scheduler is running") != std::string::npos &&
          Run("lpstat -r").find("not") == std::string::npos)
        return true;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        why = "cupsd ended at once: " + ProgramOutput("cat '" + (folder_ / "log" / "cupsd.out").string() + "'");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "cupsd did not answer";
    return false;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  // Runs a shell command as a client of this server; its standard output and error.
  std::string Run(const std::string& command) const {
    return ProgramOutput("CUPS_SERVER='" + Socket().string() + "' " + command + " 2>&1");
  }

 private:
  std::filesystem::path folder_;
  std::map<std::string, std::string> environment_;
  pid_t pid_ = -1;
};

}  // namespace ql::testing
