#include "fax_engine/session/session_log.h"

#include <chrono>
#include <ctime>

namespace ql {

namespace {

std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&seconds, &tm);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(millis));
  return text;
}

}  // namespace

SessionLog::~SessionLog() {
  std::lock_guard guard(lock_);
  if (file_ != nullptr) std::fclose(file_);
}

void SessionLog::SetFileName(const std::string& path) {
  std::lock_guard guard(lock_);
  fileName_ = path;
}

std::string SessionLog::FileName() const {
  std::lock_guard guard(lock_);
  return fileName_;
}

bool SessionLog::Active() const {
  std::lock_guard guard(lock_);
  return file_ != nullptr;
}

void SessionLog::Open(std::string_view heading) {
  {
    std::lock_guard guard(lock_);
    if (file_ != nullptr || fileName_.empty()) return;
    // A log that cannot be written must not stop the fax: the run goes on without it.
    file_ = std::fopen(fileName_.c_str(), "a");
    if (file_ == nullptr) return;
  }
  Write("==", heading);
}

void SessionLog::Close(std::string_view closing) {
  Write("==", closing);
  std::lock_guard guard(lock_);
  if (file_ == nullptr) return;
  std::fputc('\n', file_);
  std::fclose(file_);
  file_ = nullptr;
}

void SessionLog::Write(std::string_view marker, std::string_view text) {
  std::lock_guard guard(lock_);
  if (file_ == nullptr) return;
  const std::string stamp = TimeStamp();
  std::fprintf(file_, "%s %.*s %.*s\n", stamp.c_str(), static_cast<int>(marker.size()), marker.data(),
               static_cast<int>(text.size()), text.data());
  std::fflush(file_);
}

std::string SessionLog::Printable(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 32 && b < 127) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", b);
      out += hex;
    }
  }
  return out;
}

}  // namespace ql
