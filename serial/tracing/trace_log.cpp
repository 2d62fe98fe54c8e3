#include "serial/tracing/trace_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"

namespace ql {

namespace {

constexpr int kLastColumn = 78;
constexpr int kLogDataColumn = 41;
constexpr const char* kLineEnd = "\r\n";

const char* TypeName(uint8_t type) { return type == kLogDispatch ? "dispatch" : type == kLogTrigger ? "trigger" : ""; }

const char* SubtypeName(uint8_t subtype) {
  switch (subtype) {
    case kLogReadCom: return "readcom";
    case kLogWriteCom: return "writecom";
    case kLogAvail: return "avail";
    case kLogTimer: return "timer";
    case kLogStatus: return "status";
    default: return "";
  }
}

std::string PadRight(const std::string& s, std::size_t width) { return s.size() >= width ? s : s + std::string(width - s.size(), ' '); }

std::string TimeField(uint32_t ms) {
  std::string digits = std::to_string(ms);
  if (digits.size() < 8) digits.insert(0, 8 - digits.size(), '0');
  if (digits.size() > 9) digits.resize(9);
  return digits;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<uint32_t>(p[3]) << 24); }

}  // namespace

std::string RenderByte(uint8_t byte, bool hex) {
  const int lowest = hex ? 33 : 32;
  if (byte >= lowest && byte <= 126) return std::string(1, static_cast<char>(byte));
  char text[8];
  if (hex) std::snprintf(text, sizeof text, "[%02X]", byte);
  else std::snprintf(text, sizeof text, "[%u]", byte);
  return text;
}

// ---- trace ----

TTraceBuffer::TTraceBuffer(int capacity) : entries_(static_cast<std::size_t>(std::max(capacity, 1)) * 2), capacity_(std::max(capacity, 1)) {}

void TTraceBuffer::Add(char kind, uint8_t byte) {
  if (!capture) return;
  entries_[static_cast<std::size_t>(position_) * 2] = static_cast<uint8_t>(kind);
  entries_[static_cast<std::size_t>(position_) * 2 + 1] = byte;
  if (++position_ == capacity_) {
    position_ = 0;
    wrapped_ = true;
  }
}

void TTraceBuffer::Clear() {
  position_ = 0;
  wrapped_ = false;
}

std::string TTraceBuffer::Render(bool hex) const {
  std::string out;
  const int count = wrapped_ ? capacity_ : position_;
  const int first = wrapped_ ? position_ : 0;
  int column = 0;
  char previous = 0;
  for (int i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>((first + i) % capacity_) * 2;
    const char kind = static_cast<char>(entries_[at]);
    if (i == 0 || kind != previous) {
      if (i != 0) {
        out += kLineEnd;
        out += kLineEnd;
        column = 0;
      }
      out += kind == 'T' ? "Transmit: " : "Receive: ";
      out += kLineEnd;
      previous = kind;
    }
    const std::string text = RenderByte(entries_[at + 1], hex);
    column += static_cast<int>(text.size());
    if (column > kLastColumn) {
      out += kLineEnd;
      column = static_cast<int>(text.size());
    }
    out += text;
  }
  return out;
}

// ---- dispatch log ----

TLogBuffer::TLogBuffer(int capacity) : ring_(static_cast<std::size_t>(std::max(capacity, 0))) {}

void TLogBuffer::Clear() { read_ = write_ = used_ = 0; }

void TLogBuffer::Copy(int from, uint8_t* to, int length) const {
  const int size = static_cast<int>(ring_.size());
  for (int i = 0; i < length; ++i) to[i] = ring_[static_cast<std::size_t>((from + i) % size)];
}

void TLogBuffer::DropOldest() {
  uint8_t header[kLogHeaderSize];
  Copy(read_, header, kLogHeaderSize);
  const int length = kLogHeaderSize + Get16(header + 10);
  read_ = (read_ + length) % static_cast<int>(ring_.size());
  used_ -= length;
}

void TLogBuffer::Store(const uint8_t* bytes, int length) {
  const int size = static_cast<int>(ring_.size());
  const int first = std::min(length, size - write_);
  std::memcpy(ring_.data() + write_, bytes, static_cast<std::size_t>(first));
  std::memcpy(ring_.data(), bytes + first, static_cast<std::size_t>(length - first));
  write_ = (write_ + length) % size;
  used_ += length;
}

void TLogBuffer::Add(uint8_t type, uint8_t subtype, uint32_t timeMs, uint16_t data, const uint8_t* bytes, int length) {
  if (!capture) return;
  const int size = static_cast<int>(ring_.size());
  if (kLogHeaderSize >= size) return;
  if (bytes == nullptr || kLogHeaderSize + length > size) length = 0;
  const uint8_t header[kLogHeaderSize] = {type,
                                          subtype,
                                          0,
                                          0,
                                          static_cast<uint8_t>(timeMs),
                                          static_cast<uint8_t>(timeMs >> 8),
                                          static_cast<uint8_t>(timeMs >> 16),
                                          static_cast<uint8_t>(timeMs >> 24),
                                          static_cast<uint8_t>(data),
                                          static_cast<uint8_t>(data >> 8),
                                          static_cast<uint8_t>(length),
                                          static_cast<uint8_t>(length >> 8)};
  while (size - used_ < kLogHeaderSize + length) DropOldest();
  Store(header, kLogHeaderSize);
  if (length > 0) Store(bytes, length);
}

std::string TLogBuffer::Render(bool hex) const {
  std::string out = "Time      Type      SubType       Data  OtherData\r\n"
                    "----      ----      -------       ----  ---------\r\n";
  const int size = static_cast<int>(ring_.size());
  int at = read_;
  int left = used_;
  std::vector<uint8_t> data;
  while (left >= kLogHeaderSize) {
    uint8_t h[kLogHeaderSize];
    Copy(at, h, kLogHeaderSize);
    const int length = Get16(h + 10);
    char hexData[8];
    std::snprintf(hexData, sizeof hexData, "%04X", Get16(h + 8));
    out += TimeField(Get32(h + 4)) + "  " + PadRight(TypeName(h[0]), 8) + "  " + PadRight(SubtypeName(h[1]), 12) + "  " +
           hexData + "  ";
    data.resize(static_cast<std::size_t>(length));
    Copy((at + kLogHeaderSize) % size, data.data(), length);
    int column = kLogDataColumn;
    for (uint8_t b : data) {
      const std::string text = RenderByte(b, hex);
      column += static_cast<int>(text.size());
      if (column > kLastColumn) {
        out += kLineEnd;
        out += std::string(40, ' ');
        column = static_cast<int>(text.size()) + kLogDataColumn;
      }
      out += text;
    }
    out += kLineEnd;
    at = (at + kLogHeaderSize + length) % size;
    left -= kLogHeaderSize + length;
  }
  return out;
}

int WriteDumpFile(const std::string& fileName, const std::string& text, bool append) {
  struct stat st {};
  if (append && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    std::FILE* f = std::fopen(fileName.c_str(), "ab");
    if (f == nullptr) return errno == ENOENT ? -3 : -5;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    return ok && closed ? 0 : -101;
  }
  if (WriteFileAtomically(fileName, text)) return 0;
  // Tell a missing folder from a refused write.
  const std::string folder = std::filesystem::path(fileName).parent_path().string();
  if (!folder.empty() && ::stat(folder.c_str(), &st) != 0) return -3;
  return -5;
}

}  // namespace ql
