#pragma once
// One DBF table file in the common xBase layout (version 0x03): a 32-byte header, 32-byte field
// descriptors, 0x0D, then fixed-length records (a deletion flag byte, then the fields),
// and a 0x1A end mark. Records are handled as raw bytes in code page 1252; the table
// layer above converts text and builds index keys.
//
// Locks between processes use open-file-description locks on bytes far beyond the data,
// so they never block reading and never stop other xBase tools from opening the file:
//   - the table byte: shared opens hold it shared, an exclusive open holds it exclusively;
//   - the writer byte: held while a writer in a shared open changes rows or the index;
//   - one byte per record for row locks.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ql::xb {

enum class OpenMode { Shared = 0, ReadOnly = 1, Exclusive = 2 };

struct FieldSpec {
  std::string name;  // up to 10 characters; stored upper case
  char type = 'C';   // C, D, L or N
  int width = 0;
  int decimals = 0;
};

struct DbfField {
  std::string name;  // upper case
  char type = 'C';
  int width = 0;
  int decimals = 0;
  int offset = 0;    // within the record; the deletion flag is byte 0
};

class DbfFile {
 public:
  DbfFile() = default;
  ~DbfFile();
  DbfFile(const DbfFile&) = delete;
  DbfFile& operator=(const DbfFile&) = delete;

  // Writes a new empty table (whole or not at all). Fails with xbBadArgument on a field
  // list that no xBase tool would accept.
  static int Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields);

  // Opens and checks the header; takes the table lock for the mode (xbLocked when another
  // open conflicts).
  int Open(const std::filesystem::path& path, OpenMode mode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  OpenMode Mode() const { return mode_; }
  const std::filesystem::path& Path() const { return path_; }

  uint32_t RecordCount() const { return recordCount_; }
  int RecordLength() const { return recordLength_; }
  const std::vector<DbfField>& Fields() const { return fields_; }
  // Index of the field with this name in any letter case, -1 when there is none.
  int FieldIndex(std::string_view name) const;
  bool HasProductionIndexFlag() const { return (tableFlags_ & 0x01) != 0; }
  int SetProductionIndexFlag(bool on);

  // A record of blanks (live, every field blank).
  std::string BlankRecord() const;
  int ReadRecord(uint32_t recno, std::string& record) const;
  int WriteRecord(uint32_t recno, std::string_view record);
  // Writes the record after the last one with the end mark, then the new count.
  int AppendRecord(std::string_view record, uint32_t& recno);
  // Reads count records from first on into one buffer (fewer calls for scans).
  int ReadRecords(uint32_t first, uint32_t count, std::string& records) const;
  // The raw header bytes (everything before record 1).
  int ReadHeaderBytes(std::string& header) const;
  uint32_t HeaderLength() const { return headerLength_; }
  // Puts a complete table file written beside this one in its place: the new file is
  // opened and locked first, then renamed over the old one, so the exclusive hold on
  // the table never lapses.
  int ReplaceWith(const std::filesystem::path& replacement);
  // Reads the record count again (another process may have appended).
  int RefreshCount();

  // Locks (non-blocking try; retried by the caller for its lock time-out).
  bool TryLockWriter();
  void UnlockWriter();
  // Readers of shared tables hold the writer byte shared while they read, so they never
  // see an index half-way through a change.
  bool TryLockReader();
  void UnlockReader();
  // True when no other open of this file exists (in this or another process).
  bool IsSoleUser();
  bool TryLockRecord(uint32_t recno);
  void UnlockRecord(uint32_t recno);
  int Sync();

 private:
  int ReadHeader();
  int WriteCountAndDate();
  bool LockByte(int64_t offset, short type, bool wait);

  int fd_ = -1;
  OpenMode mode_ = OpenMode::Shared;
  std::filesystem::path path_;
  uint32_t recordCount_ = 0;
  uint32_t headerLength_ = 0;
  int recordLength_ = 0;
  unsigned char tableFlags_ = 0;
  std::vector<DbfField> fields_;
};

// Encodes today's date into the three header bytes.
void EncodeHeaderDate(unsigned char out[3]);

}  // namespace ql::xb
