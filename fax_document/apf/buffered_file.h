#pragma once
// A file read through an 8192-byte buffer, for the image readers. Seeking empties the
// buffer. Errors are the program's codes.

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace ql {

class BufferedFile {
 public:
  BufferedFile() = default;
  ~BufferedFile() { Close(); }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  int Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  long Size() const { return size_; }
  long Position() const { return position_; }

  int Seek(long offset);
  // Reads up to `length` bytes; returns the number read (0 at the end) or an error.
  int Read(void* data, size_t length);
  // Reads exactly `length` bytes, else returns `shortCode`.
  int ReadExactly(void* data, size_t length, int shortCode);
  // The next byte, or -1 at the end of the file.
  int Byte() {
    if (next_ < end_) {
      ++position_;
      return buffer_[next_++];
    }
    return Refill() > 0 ? Byte() : -1;
  }

 private:
  int Refill();

  std::FILE* file_ = nullptr;
  long size_ = 0;
  long position_ = 0;
  uint8_t buffer_[8192];
  size_t next_ = 0;
  size_t end_ = 0;
};

}  // namespace ql
