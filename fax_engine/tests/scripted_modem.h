#pragma once
// A fax modem played by a test on the far end of a pseudo-terminal, for the cases the
// virtual line cannot make happen (a page rejected three times, reports in a given
// order). It reads command lines; a test's script answers each one and may switch the
// modem into data mode, where it collects the DLE-stuffed data up to its end code and
// asks the script again. Everything it was sent is kept for the test to look at.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/dle/dle_codec.h"
#include "serial/testing/pty_pair.h"

namespace ql::testing {

struct ModemReply {
  std::string text;          // bytes for the program
  bool dataFollows = false;  // the program sends data next
};

class ScriptedFaxModem {
 public:
  using OnCommand = std::function<ModemReply(const std::string& command)>;
  // The data block (unstuffed) and the byte after the DLE that ended it (ETX, ',', '.').
  using OnData = std::function<ModemReply(const std::string& data, char end)>;

  ScriptedFaxModem(OnCommand command, OnData data) : command_(std::move(command)), data_(std::move(data)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedFaxModem() {
    stop_ = true;
    thread_.join();
  }
  ScriptedFaxModem(const ScriptedFaxModem&) = delete;
  ScriptedFaxModem& operator=(const ScriptedFaxModem&) = delete;

  const std::string& Path() const { return pty_.path(); }
  std::vector<std::string> Commands() const {
    std::lock_guard guard(lock_);
    return commands_;
  }
  std::vector<std::string> DataBlocks() const {
    std::lock_guard guard(lock_);
    return blocks_;
  }
  std::string Ends() const {
    std::lock_guard guard(lock_);
    return ends_;
  }
  // Runs f while the script is not answering (to look at it or change it).
  template <typename F>
  void Locked(F f) {
    std::lock_guard guard(scriptLock_);
    f();
  }

  static std::string Line(const std::string& text) { return "\r\n" + text + "\r\n"; }
  // A received frame as the modem hands it over: address, control, FCF and FIF, two
  // check bytes, stuffed and closed with DLE ETX.
  static std::string Frame(uint8_t fcf, const std::string& fif, bool final) {
    std::string frame{'\xFF', static_cast<char>(final ? 0x13 : 0x03), static_cast<char>(fcf)};
    return dle::Stuffed(frame + fif + std::string("\x5A\xA5", 2), true);
  }
  // As much of `bytes` as the terminal takes now, without waiting: the count sent.
  size_t PushSome(const std::string& bytes) {
    std::lock_guard guard(sendLock_);
    const ssize_t n = ::write(pty_.master(), bytes.data(), bytes.size());
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  // Bytes the modem sends of its own accord (RING, page data ...).
  void Push(const std::string& bytes) {
    std::lock_guard guard(sendLock_);
    pty_.Send(bytes);
  }

 private:
  void Run() {
    std::string line;
    std::string data;
    dle::Unstuffer unstuffer;
    bool inData = false;
    while (!stop_) {
      const std::string got = pty_.Receive(4096, 10);
      for (size_t i = 0; i < got.size(); ++i) {
        if (inData) {
          const dle::Unstuffer::Result r = unstuffer.Take(std::string_view(got).substr(i), data);
          i += r.consumed - 1;
          if (r.stop == dle::Unstuffer::Stop::kNone) break;
          const char end = static_cast<char>(unstuffer.ControlByte());
          {
            std::lock_guard guard(lock_);
            blocks_.push_back(data);
            ends_ += end;
          }
          const ModemReply reply = Ask([&] { return data_(data, end); });
          data.clear();
          unstuffer.Reset();
          inData = reply.dataFollows;
          Push(reply.text);
          continue;
        }
        const char c = got[i];
        if (c != '\r') {
          if (c != '\n' && c != 0x11 && c != 0x13) line += c;
          continue;
        }
        if (line.empty()) continue;
        {
          std::lock_guard guard(lock_);
          commands_.push_back(line);
        }
        const ModemReply reply = Ask([&] { return command_(line); });
        line.clear();
        inData = reply.dataFollows;
        Push(reply.text);
      }
    }
  }

  template <typename F>
  ModemReply Ask(F f) {
    std::lock_guard guard(scriptLock_);
    return f();
  }

  PtyPair pty_;
  OnCommand command_;
  OnData data_;
  mutable std::mutex lock_;
  std::mutex sendLock_;
  std::mutex scriptLock_;
  std::vector<std::string> commands_;
  std::vector<std::string> blocks_;
  std::string ends_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace ql::testing
