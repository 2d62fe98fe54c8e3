#pragma once
// The program's side of a virtual modem in tests: opens the pty slave in raw mode and
// speaks AT commands, with bounded waits for the modem's answers.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace ql::vmodem::testing {

class DteLink {
 public:
  explicit DteLink(const std::filesystem::path& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + device.string());
    struct termios tio {};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~DteLink() { Close(); }
  DteLink(const DteLink&) = delete;
  DteLink& operator=(const DteLink&) = delete;

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Fd() const { return fd_; }

  void Send(const std::string& bytes) {
    size_t done = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 50);
      }
    }
    if (done < bytes.size()) throw std::runtime_error("the modem stopped taking data");
  }
  void Command(const std::string& command) { Send(command + "\r"); }

  // Reads until `text` has arrived (true) or the time is up (false). What was read up
  // to and including `text` is consumed; the rest stays for the next wait.
  bool Expect(const std::string& text, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      size_t at = pending_.find(text);
      if (at != std::string::npos) {
        last_ = pending_.substr(0, at + text.size());
        pending_.erase(0, at + text.size());
        return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        last_ = pending_;
        return false;
      }
      ReadFor(static_cast<int>(left.count()));
    }
  }
  // Everything that arrives within `seconds`.
  std::string Collect(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      ReadFor(static_cast<int>(left.count()));
    }
    std::string all;
    all.swap(pending_);
    return all;
  }
  // What the last Expect consumed (or saw, when it failed).
  const std::string& Last() const { return last_; }

  // Sends a command and waits for its final result; returns the text in between.
  bool Ok(const std::string& command, double seconds = 5) {
    Command(command);
    return Expect("OK\r\n", seconds);
  }

 private:
  void ReadFor(int milliseconds) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, milliseconds) <= 0) return;
    char buffer[4096];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
  }

  int fd_ = -1;
  std::string pending_;
  std::string last_;
};

}  // namespace ql::vmodem::testing
