#include "tools/qlvmodem/virtual_line.h"

#include <poll.h>

#include <sstream>
#include <thread>

namespace ql::vmodem {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kBlock = std::chrono::microseconds(1000000LL * kBlockSamples / kSampleRate);

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

std::string Error(const std::string& text) { return "ERROR " + text + "\n"; }
}  // namespace

VirtualLine::VirtualLine(LineConfig config)
    : config_(std::move(config)),
      log_((std::filesystem::create_directories(config_.dir), config_.logPath)),
      exchange_(log_, config_.timing) {
  for (const auto& options : config_.modems) {
    modems_.push_back(std::make_unique<VirtualModem>(options));
    exchange_.Add(modems_.back().get());
  }
  for (const auto& options : config_.remotes) {
    remotes_.push_back(std::make_unique<RemoteFax>(options));
    exchange_.Add(remotes_.back().get());
  }
  if (config_.controlSocket)
    control_ = std::make_unique<ControlServer>(ControlPath(), [this](const std::string& c) { return Command(c); });
}

VirtualLine::~VirtualLine() {
  for (auto& caller : callers_) exchange_.Remove(caller.get());
  for (auto& remote : remotes_) exchange_.Remove(remote.get());
  for (auto& modem : modems_) exchange_.Remove(modem.get());
}

void VirtualLine::Step() {
  for (auto& modem : modems_) modem->Service();
  exchange_.Step();
  for (auto& modem : modems_) modem->Service();
  ReapFinishedCallers();
}

void VirtualLine::ReapFinishedCallers() {
  for (size_t i = 0; i < callers_.size(); ++i) {
    if (!callers_[i]->Finished()) continue;
    for (const auto& record : callers_[i]->Records()) {
      sentRecords_.push_back(record);
      sentNumbers_.push_back(callers_[i]->Number());
    }
    exchange_.Remove(callers_[i].get());
    callers_.erase(callers_.begin() + static_cast<long>(i));
    --i;
  }
}

void VirtualLine::Run() {
  auto next = Clock::now();
  while (!stop_) {
    Step();
    if (exchange_.NeedsRealTime() || !exchange_.Busy() || config_.speed == 1.0) {
      next += kBlock;
    } else if (config_.speed > 0) {
      next += std::chrono::duration_cast<Clock::duration>(kBlock / config_.speed);
    } else {
      next = Clock::now();
    }
    // A late loop catches up by running blocks back to back, but never by more than a
    // fraction of a second: after a long stall the line simply goes on from now.
    if (Clock::now() - next > std::chrono::milliseconds(200)) next = Clock::now();
    WaitForNextBlock(next);
  }
}

// Sleeps until the next block is due, but serves a modem's program or the control
// socket at once when they have something to say.
void VirtualLine::WaitForNextBlock(Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    std::vector<pollfd> fds;
    for (auto& modem : modems_)
      if (int fd = modem->InputFd(); fd >= 0) fds.push_back({fd, POLLIN, 0});
    if (control_) control_->AddPollFds(fds);
    int timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready > 0) {
      for (auto& modem : modems_) modem->Service();
      if (control_) control_->Service();
    }
    if (Clock::now() >= deadline || stop_) return;
    if (ready <= 0) {
      // Less than a millisecond left: finish the wait precisely.
      std::this_thread::sleep_until(deadline);
      return;
    }
  }
}

std::string VirtualLine::Command(const std::string& command) {
  std::vector<std::string> words = Words(command);
  if (words.empty()) return Error("empty command");
  const std::string& verb = words[0];
  if (verb == "status") return Status();
  if (verb == "send") return Send(words);
  if (verb == "received") return Received(words);
  if (verb == "fault") return OrderFault(words);
  if (verb == "stop") {
    stop_ = true;
    return "OK stopping\n";
  }
  return Error("unknown command '" + verb + "' (status, send, received, fault, stop)");
}

std::string VirtualLine::Status() {
  std::string out;
  auto state = [this](const Endpoint* e) {
    const Call* call = exchange_.CallOf(e);
    if (call == nullptr) return std::string("idle");
    static const char* const kNames[] = {"dialling", "ringing", "connected", "ended"};
    return std::string(kNames[static_cast<int>(call->state)]);
  };
  for (const auto& modem : modems_)
    out += "modem " + modem->Options().name + " " + modem->Number() + " " + modem->Options().link.string() + " " +
           modem->Pty().SlavePath() + " " + (modem->Pty().Attached() ? "open" : "closed") + " " + state(modem.get()) +
           "\n";
  for (const auto& remote : remotes_)
    out += "remote " + remote->Number() + " answering " + state(remote.get()) + " received " +
           std::to_string(remote->Records().size()) + "\n";
  for (const auto& caller : callers_)
    out += "remote " + caller->Number() + " calling " + state(caller.get()) + "\n";
  char line[96];
  std::snprintf(line, sizeof line, "OK calls %d active %d line %.2f\n", exchange_.CallsMade(),
                exchange_.Busy() ? 1 : 0, exchange_.LineSeconds());
  return out + line;
}

// send NUMBER TIFF [IDENT...]: a new calling remote dials NUMBER and sends the TIFF.
std::string VirtualLine::Send(const std::vector<std::string>& words) {
  if (words.size() < 3) return Error("usage: send NUMBER TIFF [IDENT]");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(words[2], ec)) return Error("no such file: " + words[2]);
  RemoteOptions options;
  options.number = "90" + std::to_string(nextCaller_++);
  options.trace = config_.trace;
  std::string ident;
  for (size_t i = 3; i < words.size(); ++i) ident += (ident.empty() ? "" : " ") + words[i];
  options.ident = ident.empty() ? "VIRTUAL SENDER" : ident.substr(0, 20);
  callers_.push_back(std::make_unique<RemoteFax>(options, DialledNumber(words[1]), words[2]));
  exchange_.Add(callers_.back().get());
  callers_.back()->Start();
  return "OK caller " + options.number + "\n";
}

// received NUMBER: the session records of an answering remote, or of a caller that has
// finished its call.
std::string VirtualLine::Received(const std::vector<std::string>& words) {
  if (words.size() != 2) return Error("usage: received NUMBER");
  std::string out;
  int count = 0;
  for (const auto& remote : remotes_) {
    if (remote->Number() != words[1]) continue;
    for (const auto& record : remote->Records()) {
      out += FormatRecord(record) + "\n";
      ++count;
    }
  }
  for (size_t i = 0; i < sentRecords_.size(); ++i) {
    if (sentNumbers_[i] != words[1]) continue;
    out += FormatRecord(sentRecords_[i]) + "\n";
    ++count;
  }
  if (count == 0 && exchange_.Find(words[1]) == nullptr &&
      std::find(sentNumbers_.begin(), sentNumbers_.end(), words[1]) == sentNumbers_.end())
    return Error("no remote at " + words[1]);
  return out + "OK " + std::to_string(count) + " sessions\n";
}

// fault NUMBER NAME [VALUE]
std::string VirtualLine::OrderFault(const std::vector<std::string>& words) {
  if (words.size() < 3 || words.size() > 4) return Error("usage: fault NUMBER NAME [VALUE]");
  std::string error;
  auto fault = ParseFault(words[2], words.size() == 4 ? words[3] : "", &error);
  if (!fault) return Error(error);
  std::string number = DialledNumber(words[1]);
  if (number.empty()) return Error("bad number '" + words[1] + "'");
  exchange_.Faults().Order(number, *fault);
  log_.Write(0, exchange_.LineSeconds(), "fault ordered for " + number + ": " + DescribeFault(*fault));
  return "OK\n";
}

}  // namespace ql::vmodem
