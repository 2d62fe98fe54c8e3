#include "table_engine/dbf_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "table_engine/codepage.h"
#include "table_engine/file_io.h"
#include "table_engine/table_errors.h"

namespace ql::xb {
namespace {

constexpr int64_t kTableLockByte = 0x7FFFFFFE;
constexpr int64_t kWriterLockByte = 0x7FFFFFFD;
constexpr int64_t kRecordLockBase = 0x40000000;

uint32_t Get32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

bool ValidFieldName(const std::string& name) {
  if (name.empty() || name.size() > 10) return false;
  if (!((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) return false;
  for (char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

bool ValidFieldSpec(const FieldSpec& f) {
  if (!ValidFieldName(f.name)) return false;
  switch (f.type) {
    case 'C': return f.width >= 1 && f.width <= 254 && f.decimals == 0;
    case 'D': return f.width == 8 && f.decimals == 0;
    case 'L': return f.width == 1 && f.decimals == 0;
    case 'N': return f.width >= 1 && f.width <= 20 && f.decimals >= 0 && (f.decimals == 0 || f.decimals <= f.width - 2);
    default: return false;
  }
}

}  // namespace

void EncodeHeaderDate(unsigned char out[3]) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  out[0] = static_cast<unsigned char>(tm.tm_year % 100);
  out[1] = static_cast<unsigned char>(tm.tm_mon + 1);
  out[2] = static_cast<unsigned char>(tm.tm_mday);
}

DbfFile::~DbfFile() { Close(); }

int DbfFile::Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields) {
  if (fields.empty() || fields.size() > 255) return xbBadArgument;
  int recordLength = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!ValidFieldSpec(fields[i])) return xbBadArgument;
    for (std::size_t j = 0; j < i; ++j)
      if (EqualsIgnoreCase(fields[i].name, fields[j].name)) return xbBadArgument;
    recordLength += fields[i].width;
  }
  if (recordLength > 65535) return xbBadArgument;
  const std::size_t headerLength = 32 + 32 * fields.size() + 1;
  std::string data(headerLength + 1, '\0');
  auto* h = reinterpret_cast<unsigned char*>(data.data());
  h[0] = 0x03;
  EncodeHeaderDate(h + 1);
  Put32(h + 4, 0);
  Put16(h + 8, static_cast<uint16_t>(headerLength));
  Put16(h + 10, static_cast<uint16_t>(recordLength));
  h[29] = kCodePage1252Mark;
  int offset = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = h + 32 + 32 * i;
    const std::string name = ToUpperAscii(fields[i].name);
    std::memcpy(d, name.data(), name.size());
    d[11] = static_cast<unsigned char>(fields[i].type);
    Put32(d + 12, static_cast<uint32_t>(offset));
    d[16] = static_cast<unsigned char>(fields[i].width);
    d[17] = static_cast<unsigned char>(fields[i].decimals);
    offset += fields[i].width;
  }
  h[headerLength - 1] = 0x0D;
  h[headerLength] = 0x1A;
  return WriteFileAtomically(path, data) ? xbOK : xbIoError;
}

int DbfFile::Open(const std::filesystem::path& path, OpenMode mode) {
  Close();
  const int flags = (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  fd_ = ::open(path.c_str(), flags);
  if (fd_ < 0) return errno == ENOENT ? xbFileNotFound : xbIoError;
  path_ = path;
  mode_ = mode;
  if (!LockByte(kTableLockByte, mode == OpenMode::Exclusive ? F_WRLCK : F_RDLCK, false)) {
    Close();
    return xbLocked;
  }
  const int rc = ReadHeader();
  if (rc != xbOK) Close();
  return rc;
}

void DbfFile::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing the description drops its locks
  fd_ = -1;
  fields_.clear();
  recordCount_ = 0;
}

int DbfFile::ReadHeader() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return xbIoError;
  unsigned char h[32];
  if (st.st_size < 33 || !FullReadAt(fd_, h, 32, 0)) return xbBadFile;
  switch (h[0]) {
    case 0x02: case 0x03: case 0x30: case 0x31: case 0x32: case 0x83: case 0x8B: case 0xF5: case 0xFB: break;
    default: return xbBadFile;
  }
  const uint32_t count = Get32(h + 4);
  const uint32_t headerLength = Get16(h + 8);
  const int recordLength = Get16(h + 10);
  if (headerLength < 33 || headerLength > static_cast<uint64_t>(st.st_size) || recordLength < 1) return xbBadFile;
  if (static_cast<uint64_t>(headerLength) + static_cast<uint64_t>(count) * recordLength > static_cast<uint64_t>(st.st_size))
    return xbBadFile;
  std::vector<unsigned char> descriptors(headerLength - 32);
  if (!FullReadAt(fd_, descriptors.data(), descriptors.size(), 32)) return xbBadFile;
  std::vector<DbfField> fields;
  int offset = 1;
  for (std::size_t at = 0; at + 32 <= descriptors.size() && descriptors[at] != 0x0D; at += 32) {
    const unsigned char* d = descriptors.data() + at;
    DbfField f;
    f.name.assign(reinterpret_cast<const char*>(d), strnlen(reinterpret_cast<const char*>(d), 11));
    f.name = ToUpperAscii(f.name);
    f.type = static_cast<char>(d[11]);
    f.width = d[16];
    f.decimals = d[17];
    f.offset = offset;
    if (f.name.empty() || f.width == 0) return xbBadFile;
    offset += f.width;
    fields.push_back(std::move(f));
  }
  if (fields.empty() || offset != recordLength) return xbBadFile;
  fields_ = std::move(fields);
  recordCount_ = count;
  headerLength_ = headerLength;
  recordLength_ = recordLength;
  tableFlags_ = h[28];
  return xbOK;
}

int DbfFile::RefreshCount() {
  unsigned char b[4];
  if (!FullReadAt(fd_, b, 4, 4)) return xbIoError;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return xbIoError;
  const uint32_t count = Get32(b);
  if (static_cast<uint64_t>(headerLength_) + static_cast<uint64_t>(count) * recordLength_ > static_cast<uint64_t>(st.st_size))
    return xbBadFile;
  recordCount_ = count;
  return xbOK;
}

int DbfFile::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int DbfFile::SetProductionIndexFlag(bool on) {
  if (mode_ == OpenMode::ReadOnly) return xbReadOnly;
  const unsigned char flags = static_cast<unsigned char>(on ? (tableFlags_ | 0x01) : (tableFlags_ & ~0x01));
  if (flags == tableFlags_) return xbOK;
  if (!FullWriteAt(fd_, &flags, 1, 28)) return xbIoError;
  tableFlags_ = flags;
  return xbOK;
}

std::string DbfFile::BlankRecord() const { return std::string(static_cast<std::size_t>(recordLength_), ' '); }

int DbfFile::ReadRecord(uint32_t recno, std::string& record) const {
  if (fd_ < 0) return xbNotOpen;
  if (recno < 1 || recno > recordCount_) return xbBadRecord;
  record.resize(static_cast<std::size_t>(recordLength_));
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(recno - 1) * recordLength_;
  return FullReadAt(fd_, record.data(), record.size(), at) ? xbOK : xbIoError;
}

int DbfFile::ReadRecords(uint32_t first, uint32_t count, std::string& records) const {
  if (fd_ < 0) return xbNotOpen;
  if (first < 1 || count == 0 || first - 1 + uint64_t(count) > recordCount_) return xbBadRecord;
  records.resize(static_cast<std::size_t>(count) * recordLength_);
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(first - 1) * recordLength_;
  return FullReadAt(fd_, records.data(), records.size(), at) ? xbOK : xbIoError;
}

int DbfFile::ReadHeaderBytes(std::string& header) const {
  if (fd_ < 0) return xbNotOpen;
  header.resize(headerLength_);
  return FullReadAt(fd_, header.data(), header.size(), 0) ? xbOK : xbIoError;
}

int DbfFile::ReplaceWith(const std::filesystem::path& replacement) {
  if (fd_ < 0) return xbNotOpen;
  const int fd = ::open(replacement.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return xbIoError;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kTableLockByte;
  fl.l_len = 1;
  std::error_code ec;
  if (::fcntl(fd, F_OFD_SETLK, &fl) != 0 || (std::filesystem::rename(replacement, path_, ec), ec)) {
    ::close(fd);
    return xbIoError;
  }
  ::close(fd_);
  fd_ = fd;
  return ReadHeader();
}

int DbfFile::WriteRecord(uint32_t recno, std::string_view record) {
  if (fd_ < 0) return xbNotOpen;
  if (mode_ == OpenMode::ReadOnly) return xbReadOnly;
  if (recno < 1 || recno > recordCount_ || record.size() != static_cast<std::size_t>(recordLength_)) return xbBadRecord;
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(recno - 1) * recordLength_;
  return FullWriteAt(fd_, record.data(), record.size(), at) ? xbOK : xbIoError;
}

int DbfFile::AppendRecord(std::string_view record, uint32_t& recno) {
  if (fd_ < 0) return xbNotOpen;
  if (mode_ == OpenMode::ReadOnly) return xbReadOnly;
  if (record.size() != static_cast<std::size_t>(recordLength_)) return xbBadArgument;
  // The row and the end mark go first; the count last, so a crash in between leaves
  // the old count and an intact file.
  std::string data(record);
  data += '\x1A';
  const off_t at = static_cast<off_t>(headerLength_) + static_cast<off_t>(recordCount_) * recordLength_;
  if (!FullWriteAt(fd_, data.data(), data.size(), at)) return xbIoError;
  ++recordCount_;
  const int rc = WriteCountAndDate();
  if (rc != xbOK) --recordCount_;
  recno = recordCount_;
  return rc;
}

int DbfFile::WriteCountAndDate() {
  unsigned char h[7];
  EncodeHeaderDate(h);
  Put32(h + 3, recordCount_);
  return FullWriteAt(fd_, h, sizeof h, 1) ? xbOK : xbIoError;
}

int DbfFile::Sync() { return fd_ >= 0 && ::fdatasync(fd_) == 0 ? xbOK : xbIoError; }

bool DbfFile::LockByte(int64_t offset, short type, bool wait) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  return ::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0;
}

bool DbfFile::TryLockWriter() { return mode_ == OpenMode::Exclusive || LockByte(kWriterLockByte, F_WRLCK, false); }
void DbfFile::UnlockWriter() {
  if (mode_ != OpenMode::Exclusive) LockByte(kWriterLockByte, F_UNLCK, false);
}
bool DbfFile::IsSoleUser() {
  if (mode_ == OpenMode::Exclusive) return true;
  // Upgrading our hold on the table byte succeeds only when nobody else holds it; the
  // hold is then put back as it was.
  if (!LockByte(kTableLockByte, F_WRLCK, false)) return false;
  LockByte(kTableLockByte, F_RDLCK, false);
  return true;
}

bool DbfFile::TryLockReader() { return mode_ == OpenMode::Exclusive || LockByte(kWriterLockByte, F_RDLCK, false); }
void DbfFile::UnlockReader() { UnlockWriter(); }
bool DbfFile::TryLockRecord(uint32_t recno) {
  return mode_ == OpenMode::Exclusive || LockByte(kRecordLockBase + recno, F_WRLCK, false);
}
void DbfFile::UnlockRecord(uint32_t recno) {
  if (mode_ != OpenMode::Exclusive) LockByte(kRecordLockBase + recno, F_UNLCK, false);
}

}  // namespace ql::xb
