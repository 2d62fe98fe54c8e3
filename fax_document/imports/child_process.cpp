#include "fax_document/imports/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace ql {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kMaxErrorOutput = 64 * 1024;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv) {
  Stop();
  errors_.clear();
  error_.clear();
  buffer_.clear();
  bufferPos_ = 0;
  int outPipe[2], errPipe[2];
  // Close-on-exec, so that no other program this process starts holds the pipes open.
  if (::pipe2(outPipe, O_CLOEXEC) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    error_ = std::strerror(errno);
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  // The child starts with default signal handling whatever this process ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = argv.empty() ? EINVAL : posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (rc != 0) {
    error_ = (argv.empty() ? std::string("no program") : argv[0]) + ": " + std::strerror(rc);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return false;
  }
  pid_ = pid;
  out_ = outPipe[0];
  err_ = errPipe[0];
  return true;
}

void ChildProcess::DrainErrors(bool block) {
  while (err_ >= 0) {
    if (!block) {
      pollfd p{err_, POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) return;
    }
    char chunk[4096];
    const ssize_t n = ::read(err_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      CloseFd(err_);
      return;
    }
    if (errors_.size() < kMaxErrorOutput)
      errors_.append(chunk, std::min(static_cast<size_t>(n), kMaxErrorOutput - errors_.size()));
    if (!block) continue;
  }
}

bool ChildProcess::WaitForOutput() {
  if (bufferPos_ < buffer_.size()) return true;
  while (out_ >= 0) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    const int ready = ::poll(fds, err_ >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return false;
    }
    if (err_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) DrainErrors(false);
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      buffer_.resize(kReadChunk);
      const ssize_t n = ::read(out_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        buffer_.clear();
        bufferPos_ = 0;
        CloseFd(out_);
        return false;
      }
      buffer_.resize(static_cast<size_t>(n));
      bufferPos_ = 0;
      return true;
    }
  }
  return false;
}

bool ChildProcess::ReadExactly(void* data, size_t size) {
  auto* dest = static_cast<unsigned char*>(data);
  while (size > 0) {
    if (!WaitForOutput()) return false;
    const size_t n = std::min(size, buffer_.size() - bufferPos_);
    std::memcpy(dest, buffer_.data() + bufferPos_, n);
    bufferPos_ += n;
    dest += n;
    size -= n;
  }
  return true;
}

int ChildProcess::ReadByte() {
  unsigned char byte;
  return ReadExactly(&byte, 1) ? byte : -1;
}

int ChildProcess::Wait() {
  if (pid_ <= 0) return status_;
  // Reading the rest of the error output first keeps a program that reports a lot at
  // its end from blocking on a full pipe.
  CloseFd(out_);
  DrainErrors(true);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  CloseFds();
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return status_;
}

void ChildProcess::Stop() {
  if (pid_ > 0) {
    CloseFds();  // a program still writing gets SIGPIPE
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool reaped = false;
    for (int i = 0; i < 100 && !reaped; ++i) {  // up to a second for a clean exit
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      reaped = done == pid_ || (done < 0 && errno != EINTR);
      if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!reaped) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
    status_ = -1;
  }
  CloseFds();
}

void ChildProcess::CloseFds() {
  CloseFd(out_);
  CloseFd(err_);
}

}  // namespace ql
