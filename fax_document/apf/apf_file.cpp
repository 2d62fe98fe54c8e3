#include "fax_document/apf/apf_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "fax_document/apf/byte_order.h"
#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {

void ApfFileHeader::Encode(uint8_t out[kApfFileHeaderSize]) const {
  std::memset(out, 0, kApfFileHeaderSize);
  std::memcpy(out, kApfSignature, sizeof kApfSignature);
  PutLe32(out + 6, CreatedAt);
  const size_t n = std::min<size_t>(SenderStation.size(), kStationIdLength);
  out[10] = static_cast<uint8_t>(n);
  std::memset(out + 11, ' ', kStationIdLength);
  std::memcpy(out + 11, SenderStation.data(), n);
  PutLe16(out + 32, PageCount);
  PutLe32(out + 34, FirstPageOffset);
}

ApfFileHeader ApfFileHeader::Decode(const uint8_t in[kApfFileHeaderSize]) {
  ApfFileHeader h;
  h.signatureOk = std::memcmp(in, kApfSignature, sizeof kApfSignature) == 0;
  h.CreatedAt = Le32(in + 6);
  const size_t n = std::min<size_t>(in[10], kStationIdLength);
  h.SenderStation.assign(reinterpret_cast<const char*>(in + 11), n);
  h.PageCount = Le16(in + 32);
  h.FirstPageOffset = Le32(in + 34);
  return h;
}

void ApfPageHeader::Encode(uint8_t out[kApfPageHeaderSize]) const {
  std::memset(out, 0, kApfPageHeaderSize);
  PutLe32(out, DataLength);
  PutLe16(out + 4, PageFlags);
}

ApfPageHeader ApfPageHeader::Decode(const uint8_t in[kApfPageHeaderSize]) {
  ApfPageHeader h;
  h.DataLength = Le32(in);
  h.PageFlags = Le16(in + 4);
  return h;
}

uint32_t PackDosDateTime(std::time_t when) {
  std::tm t{};
  if (localtime_r(&when, &t) == nullptr) return 0;
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2099) return 0;
  const uint32_t time = static_cast<uint32_t>(t.tm_sec / 2 | t.tm_min << 5 | t.tm_hour << 11);
  const uint32_t date = static_cast<uint32_t>(t.tm_mday | (t.tm_mon + 1) << 5 | (year - 1980) << 9);
  return date << 16 | time;
}

std::tm UnpackDosDateTime(uint32_t packed) {
  std::tm t{};
  t.tm_sec = static_cast<int>(packed & 0x1F) * 2;
  t.tm_min = static_cast<int>(packed >> 5 & 0x3F);
  t.tm_hour = static_cast<int>(packed >> 11 & 0x1F);
  t.tm_mday = static_cast<int>(packed >> 16 & 0x1F);
  t.tm_mon = static_cast<int>(packed >> 21 & 0x0F) - 1;
  t.tm_year = static_cast<int>(packed >> 25 & 0x7F) + 80;
  t.tm_isdst = -1;
  return t;
}

// ---------------------------------------------------------------------------------------
// Writer

ApfWriter::~ApfWriter() { Abandon(); }

int ApfWriter::Create(const std::filesystem::path& path) {
  Abandon();
  if (path.empty()) return ecFileNotFound;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return LastFileErrorCode();
  std::setvbuf(file_, nullptr, _IONBF, 0);  // the 4096-byte buffer below is the only one
  path_ = path;
  buffer_.clear();
  buffer_.reserve(kApfWriteBufferSize);
  filePos_ = 0;
  inPage_ = false;
  pageCount_ = 0;
  uint8_t header[kApfFileHeaderSize];
  ApfFileHeader blank;
  blank.Encode(header);
  std::memset(header + 6, 0, 26);  // no time and no station until Close
  return Write(header, sizeof header);
}

int ApfWriter::Write(const void* data, size_t length) {
  if (file_ == nullptr) return ecFileNotOpen;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (buffer_.size() + length < kApfWriteBufferSize) {
    buffer_.insert(buffer_.end(), bytes, bytes + length);
    return 0;
  }
  // Top the buffer up and flush it; a large remainder goes straight to the file in whole
  // blocks and only the tail stays buffered.
  const size_t topUp = kApfWriteBufferSize - buffer_.size();
  buffer_.insert(buffer_.end(), bytes, bytes + topUp);
  bytes += topUp;
  length -= topUp;
  if (const int rc = Flush(); rc < 0) return rc;
  const size_t direct = length - length % kApfWriteBufferSize;
  if (direct > 0) {
    if (std::fwrite(bytes, 1, direct, file_) != direct) return LastFileErrorCode();
    filePos_ += static_cast<long>(direct);
    bytes += direct;
    length -= direct;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + length);
  return 0;
}

int ApfWriter::Flush() {
  if (buffer_.empty()) return 0;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) return LastFileErrorCode();
  filePos_ += static_cast<long>(buffer_.size());
  buffer_.clear();
  return 0;
}

int ApfWriter::WriteAt(long offset, const uint8_t* data, size_t length) {
  if (const int rc = Flush(); rc < 0) return rc;
  if (std::fseek(file_, offset, SEEK_SET) != 0) return LastFileErrorCode();
  if (std::fwrite(data, 1, length, file_) != length) return LastFileErrorCode();
  if (std::fseek(file_, filePos_, SEEK_SET) != 0) return LastFileErrorCode();
  return 0;
}

int ApfWriter::BeginPage(bool highRes, bool wide) {
  if (file_ == nullptr) return ecFileNotOpen;
  page_ = ApfPageHeader{};
  page_.PageFlags = static_cast<uint16_t>(PageLineRecords | (highRes ? PageHighRes : 0) | (wide ? PageWide : 0));
  headerPos_ = filePos_ + static_cast<long>(buffer_.size());
  inPage_ = true;
  uint8_t header[kApfPageHeaderSize];
  page_.Encode(header);
  return Write(header, sizeof header);
}

int ApfWriter::AppendLine(const uint8_t* data, size_t length) {
  if (!inPage_) return ecFileNotOpen;
  if (length == 0 || length > kApfMaxRecord) return ecBadArgument;
  uint8_t count[2];
  PutLe16(count, static_cast<uint16_t>(length));
  if (const int rc = Write(count, 2); rc < 0) return rc;
  if (const int rc = Write(data, length); rc < 0) return rc;
  page_.DataLength += static_cast<uint32_t>(length + 2);
  return 0;
}

int ApfWriter::EndPage() {
  if (const int rc = AppendLine(kEndOfPageRecord, sizeof kEndOfPageRecord); rc < 0) return rc;
  ++pageCount_;
  inPage_ = false;
  uint8_t header[kApfPageHeaderSize];
  page_.Encode(header);
  return WriteAt(headerPos_, header, sizeof header);
}

int ApfWriter::Close(const std::string& stationId, std::time_t createdAt) {
  if (file_ == nullptr) return ecFileNotOpen;
  ApfFileHeader h;
  h.SenderStation = stationId.substr(0, kStationIdLength);
  h.CreatedAt = PackDosDateTime(createdAt);
  h.PageCount = pageCount_;
  uint8_t header[kApfFileHeaderSize];
  h.Encode(header);
  int rc = WriteAt(0, header, sizeof header);
  if (std::fclose(file_) != 0 && rc >= 0) rc = LastFileErrorCode();
  file_ = nullptr;
  return rc;
}

void ApfWriter::Abandon() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

// ---------------------------------------------------------------------------------------
// Reader

ApfReader::~ApfReader() { Close(); }

void ApfReader::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

int ApfReader::Open(const std::filesystem::path& path) {
  Close();
  if (path.empty()) return ecFileNotFound;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return LastFileErrorCode();
  uint8_t header[kApfFileHeaderSize];
  const size_t got = std::fread(header, 1, sizeof header, file_);
  header_ = ApfFileHeader::Decode(header);
  if (got != sizeof header || !header_.signatureOk) {
    Close();
    return ecFaxBadFormat;
  }
  return 0;
}

int ApfReader::ReadExactly(uint8_t* data, size_t length) {
  if (file_ == nullptr) return ecFileNotOpen;
  const size_t got = std::fread(data, 1, length, file_);
  if (got == length) return 0;
  return std::ferror(file_) ? LastFileErrorCode() : ecReadBeyondEnd;
}

int ApfReader::Seek(long offset) {
  if (file_ == nullptr) return ecFileNotOpen;
  return std::fseek(file_, offset, SEEK_SET) == 0 ? 0 : LastFileErrorCode();
}

int ApfReader::LocatePage(unsigned page, ApfPageHeader& header) {
  if (file_ == nullptr) return ecFileNotOpen;
  if (page == 0 || page > header_.PageCount) return ecFaxBadFormat;
  long offset = header_.FirstPageOffset;
  for (unsigned p = 1;; ++p) {
    if (const int rc = Seek(offset); rc < 0) return rc;
    uint8_t raw[kApfPageHeaderSize];
    if (const int rc = ReadExactly(raw, sizeof raw); rc < 0) return rc;
    page_ = ApfPageHeader::Decode(raw);
    if (p == page) break;
    offset += kApfPageHeaderSize + static_cast<long>(page_.DataLength);
  }
  dataOffset_ = offset + kApfPageHeaderSize;
  header = page_;
  return 0;
}

long ApfReader::PageEndOffset() const { return dataOffset_ + static_cast<long>(page_.DataLength); }

int ApfReader::ReadLineRecord(uint8_t* data) {
  uint8_t count[2];
  if (const int rc = ReadExactly(count, 2); rc < 0) return rc;
  const size_t n = std::min<size_t>(Le16(count), kApfMaxRecord);
  if (const int rc = ReadExactly(data, n); rc < 0) return rc;
  return static_cast<int>(n);
}

int ApfReader::ReadBlock(uint8_t* data, size_t length) {
  if (file_ == nullptr) return ecFileNotOpen;
  const size_t got = std::fread(data, 1, length, file_);
  if (got == 0 && std::ferror(file_)) return LastFileErrorCode();
  return static_cast<int>(got);
}

int ReadApfFileHeader(const std::filesystem::path& path, ApfFileHeader& header) {
  ApfReader reader;
  if (const int rc = reader.Open(path); rc < 0) return rc;
  header = reader.FileHeader();
  return 0;
}

int ReadApfPageHeader(const std::filesystem::path& path, unsigned page, ApfPageHeader& header) {
  ApfReader reader;
  if (const int rc = reader.Open(path); rc < 0) return rc;
  return reader.LocatePage(page, header);
}

}  // namespace ql
