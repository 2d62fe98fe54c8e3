#include "fax_engine/tests/interop/fax_line.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/temp_dir.h"

namespace ql::testing {

namespace {

const std::string kLineProgram = std::string(QL_BINARY_DIR) + "/bin/qlvmodem";

template <typename Done>
bool WaitUntil(Done done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  if (WaitForExit(pid, 0) < 0) {
    ::kill(pid, SIGTERM);
    if (WaitForExit(pid, 5) < 0) {
      ::kill(pid, SIGKILL);
      WaitForExit(pid, 5);
    }
  }
  pid = -1;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& output) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("cannot start " + args[0]);
  if (pid == 0) {
    // The child goes with the test: a test that dies leaves no line or efax running.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int WaitForExit(pid_t pid, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0) return -2;
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

FaxLine::FaxLine(const std::filesystem::path& dir, const std::vector<std::string>& modems,
                 const std::vector<std::string>& remotes, const std::vector<std::string>& extra)
    : dir_(dir) {
  std::vector<std::string> args = {kLineProgram, "--dir", dir.string(), "--ring-period", "1"};
  for (const auto& m : modems) args.insert(args.end(), {"--modem", m});
  for (const auto& r : remotes) args.insert(args.end(), {"--remote", r});
  args.insert(args.end(), extra.begin(), extra.end());
  std::filesystem::create_directories(dir);
  pid_ = Spawn(args, dir / "qlvmodem.out");
  const bool up = WaitUntil(
      [&] {
        if (!std::filesystem::exists(dir / "control")) return false;
        for (const auto& m : modems)
          if (!std::filesystem::exists(dir / m.substr(0, m.find('=')))) return false;
        return true;
      },
      10);
  if (!up) throw std::runtime_error("the virtual line did not start: " + ReadFile(dir / "qlvmodem.out"));
}

FaxLine::~FaxLine() {
  if (pid_ <= 0) return;  // unplugged
  try {
    Control("stop");
  } catch (...) {
  }
  if (WaitForExit(pid_, 5) >= 0) pid_ = -1;
  Stop(pid_);
}

void FaxLine::Unplug() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  WaitForExit(pid_, 5);
  pid_ = -1;
}

std::string FaxLine::Control(const std::string& command) const {
  std::vector<std::string> args = {kLineProgram, "--dir", dir_.string(), "--control"};
  std::istringstream words(command);
  for (std::string w; words >> w;) args.push_back(w);
  const auto out = dir_ / "control.out";
  std::filesystem::remove(out);
  pid_t pid = Spawn(args, out);
  if (WaitForExit(pid, 30) < 0) Stop(pid);
  return ReadFile(out);
}

std::vector<std::map<std::string, std::string>> FaxLine::Records(const std::string& remoteNumber) const {
  std::vector<std::filesystem::path> files;
  const auto folder = dir_ / ("remote-" + remoteNumber);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::map<std::string, std::string>> records;
  for (const auto& f : files) {
    std::map<std::string, std::string> record;
    std::istringstream lines(ReadFile(f));
    for (std::string line; std::getline(lines, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    records.push_back(record);
  }
  return records;
}

std::string FaxLine::CallLog() const { return ReadFile(dir_ / "calls.log"); }

EfaxReceiver::EfaxReceiver(const std::filesystem::path& link, const std::filesystem::path& prefix,
                           const std::string& localId, const std::string& capabilities)
    : prefix_(prefix), log_(prefix.string() + ".log") {
  std::vector<std::string> args = {"/usr/bin/efax", "-d", link.string(), "-o1", "-iS0=1", "-w", "-l", localId,
                                   "-v",            "ewinc"};
  if (!capabilities.empty()) args.insert(args.end(), {"-c", capabilities});
  args.insert(args.end(), {"-r", prefix.string()});
  pid_ = Spawn(args, log_);
  if (!WaitUntil([&] { return Log().find("waiting for activity") != std::string::npos; }, 20))
    throw std::runtime_error("efax did not get ready: " + Log());
}

EfaxReceiver::~EfaxReceiver() { Stop(pid_); }

int EfaxReceiver::Wait(double seconds) {
  const int status = WaitForExit(pid_, seconds);
  if (status >= 0) pid_ = -1;
  return status;
}

std::vector<std::filesystem::path> EfaxReceiver::Pages() const {
  std::vector<std::filesystem::path> pages;
  for (int n = 1; n < 100; ++n) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ".%03d", n);
    const std::filesystem::path page = prefix_.string() + suffix;
    if (!std::filesystem::exists(page)) break;
    pages.push_back(page);
  }
  return pages;
}

std::string EfaxReceiver::Log() const { return ReadFile(log_); }

}  // namespace ql::testing
