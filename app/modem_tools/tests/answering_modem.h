#pragma once
// A modem stand-in on a pseudo-terminal for the modem tools' tests: a thread answers
// every command line (ended by CR) with "OK", or stays silent, and keeps the lines.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/testing/pty_pair.h"

namespace ql::testing {

class AnsweringModem {
 public:
  explicit AnsweringModem(bool answers = true) : answers_(answers), thread_([this] { Run(); }) {}
  ~AnsweringModem() {
    stop_ = true;
    thread_.join();
  }
  const std::string& path() const { return pty_.path(); }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  void Run() {
    std::string line;
    while (!stop_) {
      const std::string got = pty_.Receive(1, 20);
      for (char c : got) {
        if (c != '\r') {
          line += c;
          continue;
        }
        {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
        }
        line.clear();
        if (answers_) pty_.Send("\r\nOK\r\n");
      }
    }
  }

  PtyPair pty_;
  bool answers_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread thread_;
};

}  // namespace ql::testing
