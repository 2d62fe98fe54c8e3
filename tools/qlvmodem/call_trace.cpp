#include "tools/qlvmodem/call_trace.h"

#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>

#include "tools/qlvmodem/t30_frames.h"

namespace ql::vmodem {

namespace {
constexpr size_t kLinesBeforeACall = 200;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", b);
      out += hex;
    }
  }
  return out;
}
}  // namespace

CallTrace::CallTrace(std::filesystem::path folder, std::string modemName)
    : folder_(std::move(folder)), name_(std::move(modemName)) {}

void CallTrace::CallStarted(const std::string& what) {
  if (!On()) return;
  if (out_.is_open()) out_.close();
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  ++calls_;
  path_ = folder_ / (name_ + "-" + stamp + "-" + std::to_string(calls_) + ".trace");
  out_.open(path_, std::ios::trunc);
  callOver_ = false;
  start_ = std::chrono::steady_clock::now();
  out_ << "modem " << name_ << ": " << what << "\n";
  for (const std::string& line : before_) out_ << "  before  " << line << "\n";
  before_.clear();
  out_.flush();
}

void CallTrace::CallEnded() {
  if (!On() || !out_.is_open() || callOver_) return;
  EndData(fromProgram_, ">", false);
  Write("end", "call over");
  callOver_ = true;
}

void CallTrace::Write(const std::string& kind, const std::string& text) {
  if (!On()) return;
  char time[32];
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::snprintf(time, sizeof time, "%9.3f  ", seconds);
  std::string line = kind;
  line.resize(std::max<size_t>(line.size(), 9), ' ');
  line += text;
  if (!out_.is_open()) {
    before_.push_back(line);
    if (before_.size() > kLinesBeforeACall) before_.pop_front();
    return;
  }
  out_ << time << line << "\n";
  out_.flush();
}

void CallTrace::Command(const std::string& line) {
  if (!On()) return;
  if (callOver_ && out_.is_open()) out_.close();  // the next call's set-up begins
  std::string text = line;
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  lastCommand_.clear();
  for (char c : text)
    if (c != ' ') lastCommand_ += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Write("command", Printable(text));
}

void CallTrace::FromProgram(const uint8_t* bytes, size_t length, bool frames) {
  if (!On()) return;
  TakeData(fromProgram_, {reinterpret_cast<const char*>(bytes), length}, ">", frames);
}

// Stuffed data up to its DLE ETX; what follows it in the piece is left to the caller.
void CallTrace::TakeData(DataStream& stream, std::string_view piece, const char* direction, bool frames) {
  if (!stream.active) {
    stream.active = true;
    stream.unstuffer.Reset();
    stream.data.clear();
    stream.bytes = 0;
  }
  size_t before = stream.data.size();
  const auto taken = stream.unstuffer.Take(piece, stream.data);
  stream.bytes += stream.data.size() - before;
  if (!frames && stream.data.size() > 4096) stream.data.clear();  // page data is only counted
  if (taken.stop == ql::dle::Unstuffer::Stop::kEnd) EndData(stream, direction, frames);
}

void CallTrace::EndData(DataStream& stream, const char* direction, bool frames) {
  if (!stream.active) return;
  stream.active = false;
  if (frames)
    Write(std::string("frame ") + direction, DescribeFrame(stream.data));
  else
    Write(std::string("data ") + direction, std::to_string(stream.bytes) + " bytes of page data");
  stream.data.clear();
}

void CallTrace::FlushResponse() {
  if (response_.empty()) return;
  Write("response", Printable(response_));
  const bool connect = response_ == "CONNECT";
  response_.clear();
  if (!connect) return;
  // After CONNECT the modem hands the program frames or page data when it listens.
  const bool frames = StartsWith(lastCommand_, "AT+FRH") || StartsWith(lastCommand_, "ATD");
  const bool page = StartsWith(lastCommand_, "AT+FRM") || lastCommand_ == "AT+FDR";
  if (frames || page) {
    toProgramFrames_ = frames;
    toProgram_.active = false;
    TakeData(toProgram_, {}, "<", frames);
    skipLf_ = true;  // the end of "CONNECT" CR LF
  }
}

void CallTrace::ToProgram(const uint8_t* bytes, size_t length) {
  if (!On()) return;
  std::string_view rest(reinterpret_cast<const char*>(bytes), length);
  while (!rest.empty()) {
    if (skipLf_) {
      skipLf_ = false;
      if (rest.front() == '\n') {
        rest.remove_prefix(1);
        continue;
      }
    }
    if (toProgram_.active) {
      const size_t before = toProgram_.data.size();
      const auto taken = toProgram_.unstuffer.Take(rest, toProgram_.data);
      toProgram_.bytes += toProgram_.data.size() - before;
      rest.remove_prefix(taken.consumed);
      if (!toProgramFrames_ && toProgram_.data.size() > 4096) toProgram_.data.clear();
      if (taken.stop == ql::dle::Unstuffer::Stop::kEnd) {
        if (toProgramFrames_ && toProgram_.data.size() >= 2) toProgram_.data.resize(toProgram_.data.size() - 2);  // FCS
        EndData(toProgram_, "<", toProgramFrames_);
      }
      continue;
    }
    const char c = rest.front();
    rest.remove_prefix(1);
    if (c == '\r' || c == '\n') {
      FlushResponse();
    } else if (static_cast<uint8_t>(c) == 0x11 || static_cast<uint8_t>(c) == 0x13) {
      FlushResponse();
      Write("flow", static_cast<uint8_t>(c) == 0x11 ? "XON" : "XOFF");
    } else {
      response_ += c;
    }
  }
}

void CallTrace::Carrier(int bitRate) {
  if (!On() || bitRate == carrier_) return;
  Write("carrier", bitRate != 0 ? std::to_string(bitRate) + " bit/s sent" : "ended");
  carrier_ = bitRate;
}

void CallTrace::Note(const std::string& text) { Write("session", text); }

}  // namespace ql::vmodem
