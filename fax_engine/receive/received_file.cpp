#include "fax_engine/receive/received_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {

ReceivedFile::~ReceivedFile() { Close(); }

int ReceivedFile::WriteAt(off_t offset, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::pwrite(fd_, data, length, offset);
    if (n < 0 && errno == EINTR) continue;
    // Nothing or only part written: the disk is full or the file may grow no further.
    if (n <= 0) return ecDeviceWriteError;
    data += n;
    length -= static_cast<size_t>(n);
    offset += n;
  }
  return 0;
}

int ReceivedFile::Create(const std::filesystem::path& path, const std::string& remoteId, std::time_t now) {
  Close();
  error_ = 0;
  pageCount_ = 0;
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return LastFileErrorCode();
  ApfFileHeader header;
  header.CreatedAt = PackDosDateTime(now);
  header.SenderStation = remoteId;
  uint8_t bytes[kApfFileHeaderSize];
  header.Encode(bytes);
  end_ = 0;
  if (const int rc = WriteAt(0, bytes, sizeof bytes); rc < 0) return error_ = rc;
  end_ = kApfFileHeaderSize;
  return 0;
}

int ReceivedFile::BeginPage(bool fine, bool wide) {
  if (fd_ < 0) return ecFileNotOpen;
  if (inPage_) CutBackPage();
  page_ = ApfPageHeader{};
  page_.PageFlags = static_cast<uint16_t>((fine ? PageHighRes : 0) | (wide ? PageWide : 0));
  uint8_t bytes[kApfPageHeaderSize];
  page_.Encode(bytes);
  buffer_.clear();
  buffer_.reserve(kBlock);
  pageBytes_ = 0;
  error_ = 0;
  pageStart_ = end_;
  inPage_ = true;
  if (const int rc = WriteAt(end_, bytes, sizeof bytes); rc < 0) return error_ = rc;
  end_ += kApfPageHeaderSize;
  return 0;
}

int ReceivedFile::Flush() {
  if (error_ != 0) {
    buffer_.clear();
    return error_;
  }
  if (buffer_.empty()) return 0;
  const int rc = WriteAt(end_, buffer_.data(), buffer_.size());
  if (rc == 0) end_ += static_cast<off_t>(buffer_.size());
  buffer_.clear();
  return error_ = rc;
}

int ReceivedFile::EndPage(const std::string& remoteId, std::time_t now) {
  if (fd_ < 0 || !inPage_) return ecFileNotOpen;
  if (const int rc = Flush(); rc < 0) return rc;
  // The page's length first, then the count that makes it part of the file.
  page_.DataLength = pageBytes_;
  uint8_t pageBytes[kApfPageHeaderSize];
  page_.Encode(pageBytes);
  if (const int rc = WriteAt(pageStart_, pageBytes, sizeof pageBytes); rc < 0) return error_ = rc;
  ApfFileHeader header;
  header.CreatedAt = PackDosDateTime(now);
  header.SenderStation = remoteId;
  header.PageCount = static_cast<uint16_t>(pageCount_ + 1);
  uint8_t fileBytes[kApfFileHeaderSize];
  header.Encode(fileBytes);
  if (const int rc = WriteAt(0, fileBytes, sizeof fileBytes); rc < 0) return error_ = rc;
  ++pageCount_;
  inPage_ = false;
  return 0;
}

int ReceivedFile::CutBackPage() {
  if (fd_ < 0 || !inPage_) return 0;
  buffer_.clear();
  pageBytes_ = 0;
  inPage_ = false;
  error_ = 0;
  end_ = pageStart_;
  if (::ftruncate(fd_, pageStart_) != 0) return LastFileErrorCode();
  return 0;
}

int ReceivedFile::Close() {
  if (fd_ < 0) return 0;
  const int cut = CutBackPage();
  const int rc = ::close(fd_) == 0 ? cut : LastFileErrorCode();
  fd_ = -1;
  return rc;
}

}  // namespace ql
