#include "fax_document/apf/buffered_file.h"

#include <algorithm>
#include <cstring>

#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {

int BufferedFile::Open(const std::filesystem::path& path) {
  Close();
  if (path.empty()) return ecFileNotFound;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return ecAccessDenied;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return LastFileErrorCode();
  std::setvbuf(file_, nullptr, _IONBF, 0);
  if (std::fseek(file_, 0, SEEK_END) != 0 || (size_ = std::ftell(file_)) < 0) {
    const int rc = LastFileErrorCode();
    Close();
    return rc;
  }
  return Seek(0);
}

void BufferedFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  next_ = end_ = 0;
  position_ = size_ = 0;
}

int BufferedFile::Seek(long offset) {
  if (file_ == nullptr) return ecFileNotOpen;
  if (offset < 0) return ecReadBeyondEnd;
  if (std::fseek(file_, offset, SEEK_SET) != 0) return LastFileErrorCode();
  position_ = offset;
  next_ = end_ = 0;
  return 0;
}

int BufferedFile::Refill() {
  if (file_ == nullptr) return 0;
  next_ = 0;
  end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
  return static_cast<int>(end_);
}

int BufferedFile::Read(void* data, size_t length) {
  if (file_ == nullptr) return ecFileNotOpen;
  auto* out = static_cast<uint8_t*>(data);
  size_t done = 0;
  while (done < length) {
    if (next_ == end_ && Refill() == 0) {
      if (std::ferror(file_)) return LastFileErrorCode();
      break;
    }
    const size_t n = std::min(length - done, end_ - next_);
    std::memcpy(out + done, buffer_ + next_, n);
    next_ += n;
    done += n;
  }
  position_ += static_cast<long>(done);
  return static_cast<int>(done);
}

int BufferedFile::ReadExactly(void* data, size_t length, int shortCode) {
  const int got = Read(data, length);
  if (got < 0) return got;
  return static_cast<size_t>(got) == length ? 0 : shortCode;
}

}  // namespace ql
