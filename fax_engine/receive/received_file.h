#pragma once
// The APF file a fax is received into, written page by page as the data arrives.
//
// The file is a valid APF file after every complete page: its header always counts the
// pages whose data is complete, and a page being received sits behind them with a
// placeholder page header (length 0). Ending a page counts it and rewrites both headers
// in place; cutting a page back truncates the file to that page's placeholder, so a page
// received again goes into the same place and a failed page leaves nothing behind.
// Page data is kept in a 4096-byte buffer and written a block at a time. Every data
// write that does not go through whole (a full disk, a file-size limit) is -160.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "fax_document/apf/apf_file.h"

namespace ql {

class ReceivedFile {
 public:
  ReceivedFile() = default;
  ~ReceivedFile();
  ReceivedFile(const ReceivedFile&) = delete;
  ReceivedFile& operator=(const ReceivedFile&) = delete;

  // Creates (or replaces) the file with a header of no pages from `remoteId`.
  int Create(const std::filesystem::path& path, const std::string& remoteId, std::time_t now = std::time(nullptr));
  bool IsOpen() const { return fd_ >= 0; }
  const std::filesystem::path& Path() const { return path_; }

  // Writes the placeholder header of a new page at the end of the file.
  int BeginPage(bool fine, bool wide);
  bool InPage() const { return inPage_; }
  // Page data, buffered. The first failed write is returned and kept.
  int Append(uint8_t byte) {
    buffer_.push_back(byte);
    ++pageBytes_;
    return buffer_.size() >= kBlock ? Flush() : error_;
  }
  uint32_t PageBytes() const { return pageBytes_; }
  // Counts the page: its data is written, its header gets the length, the file header
  // the new page count, `remoteId` and the time.
  int EndPage(const std::string& remoteId, std::time_t now = std::time(nullptr));
  // Drops the page being received: the file ends where its placeholder began.
  int CutBackPage();
  uint16_t PageCount() const { return pageCount_; }

  // Closes the file; a page still being received is cut back first.
  int Close();

 private:
  static constexpr size_t kBlock = 4096;
  int Flush();
  int WriteAt(off_t offset, const uint8_t* data, size_t length);

  int fd_ = -1;
  std::filesystem::path path_;
  std::vector<uint8_t> buffer_;
  off_t end_ = 0;         // bytes in the file
  off_t pageStart_ = 0;   // where the page being received has its header
  bool inPage_ = false;
  ApfPageHeader page_;
  uint32_t pageBytes_ = 0;
  uint16_t pageCount_ = 0;
  int error_ = 0;
};

}  // namespace ql
