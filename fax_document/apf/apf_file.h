#pragma once
// The APF fax file: a 64-byte file header, then pages, each a 16-byte page header followed
// by its T.4 data (line records, or a plain bit stream). All integers little-endian.
//
// ApfWriter writes files as the converter and the receivers make them; ApfReader finds
// pages and reads their data for the unpacker, the viewer, the printer and the senders.
// Both return the program's error codes (0 = success, negative = failure).

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace ql {

inline constexpr int kApfFileHeaderSize = 64;
inline constexpr int kApfPageHeaderSize = 16;
inline constexpr int kApfMaxRecord = 4096;       // the largest line record a reader takes
inline constexpr int kApfWriteBufferSize = 4096;
inline constexpr char kApfSignature[6] = {'A', 'P', 'F', '1', '0', 0x1A};
inline constexpr int kStationIdLength = 20;

// PageFlags bits.
inline constexpr uint16_t PageHighRes = 1;
inline constexpr uint16_t PageWide = 2;
inline constexpr uint16_t PageLineRecords = 4;

struct ApfFileHeader {
  uint32_t CreatedAt = 0;       // packed DOS date and time, 0 when outside 1980-2099
  std::string SenderStation;    // at most 20 characters
  uint16_t PageCount = 0;
  uint32_t FirstPageOffset = kApfFileHeaderSize;
  bool signatureOk = false;     // set by Decode

  void Encode(uint8_t out[kApfFileHeaderSize]) const;
  static ApfFileHeader Decode(const uint8_t in[kApfFileHeaderSize]);
};

struct ApfPageHeader {
  uint32_t DataLength = 0;
  uint16_t PageFlags = 0;

  bool HighRes() const { return (PageFlags & PageHighRes) != 0; }
  bool Wide() const { return (PageFlags & PageWide) != 0; }
  bool LineRecords() const { return (PageFlags & PageLineRecords) != 0; }
  int Width() const { return Wide() ? 2048 : 1728; }
  void Encode(uint8_t out[kApfPageHeaderSize]) const;
  static ApfPageHeader Decode(const uint8_t in[kApfPageHeaderSize]);
};

// Local time in packed DOS form; 0 for a year before 1980 or after 2099.
uint32_t PackDosDateTime(std::time_t when);
// The broken-down time a packed DOS value stands for (tm_isdst = -1).
std::tm UnpackDosDateTime(uint32_t packed);

// The end-of-page record body: fill plus EOL, then six further EOLs, cut to 12 bytes.
inline constexpr uint8_t kEndOfPageRecord[12] = {0x00, 0x80, 0x00, 0x08, 0x80, 0x00,
                                                  0x08, 0x80, 0x00, 0x08, 0x80, 0x00};

class ApfWriter {
 public:
  ApfWriter() = default;
  ~ApfWriter();  // an unclosed file is abandoned (closed and deleted)
  ApfWriter(const ApfWriter&) = delete;
  ApfWriter& operator=(const ApfWriter&) = delete;

  // Creates (or truncates) the file and writes the blank header.
  int Create(const std::filesystem::path& path);
  // Writes the page header of a new page; its DataLength is filled in by EndPage.
  int BeginPage(bool highRes, bool wide);
  // Writes one line record: a 16-bit count and `length` bytes (1 to 4096).
  int AppendLine(const uint8_t* data, size_t length);
  // Writes the end-of-page record and the final page header.
  int EndPage();
  // Writes the file header (station identifier, creation time, page count) and closes.
  int Close(const std::string& stationId, std::time_t createdAt = std::time(nullptr));
  // Closes and deletes a file that could not be completed.
  void Abandon();

  bool IsOpen() const { return file_ != nullptr; }
  bool InPage() const { return inPage_; }
  uint16_t PageCount() const { return pageCount_; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  int Write(const void* data, size_t length);
  int Flush();
  int WriteAt(long offset, const uint8_t* data, size_t length);

  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  std::vector<uint8_t> buffer_;
  long filePos_ = 0;      // bytes written to the file itself
  bool inPage_ = false;
  long headerPos_ = 0;
  ApfPageHeader page_;
  uint16_t pageCount_ = 0;
};

class ApfReader {
 public:
  ApfReader() = default;
  ~ApfReader();
  ApfReader(const ApfReader&) = delete;
  ApfReader& operator=(const ApfReader&) = delete;

  // Opens the file and checks its signature: -2 for an empty name, -8001 when it is not an
  // APF file, or the file error.
  int Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  const ApfFileHeader& FileHeader() const { return header_; }
  uint16_t PageCount() const { return header_.PageCount; }

  // Walks the page headers up to page p (1-based) and leaves the file at its data.
  // -8001 for p = 0 or p > PageCount; -100 when a header lies beyond the end of the file.
  int LocatePage(unsigned page, ApfPageHeader& header);
  // File offset of the data of the page last located.
  long PageDataOffset() const { return dataOffset_; }
  // Offset just after the page last located (where the next page header stands).
  long PageEndOffset() const;

  // Reads a line record: its count (cut to 4096) and that many bytes into `data`, which
  // must hold 4096 bytes. Returns the count, or -100 on a short read.
  int ReadLineRecord(uint8_t* data);
  // Reads up to `length` bytes of the current position; returns the number read
  // (0 at the end of the file) or a file error.
  int ReadBlock(uint8_t* data, size_t length);
  int Seek(long offset);

 private:
  int ReadExactly(uint8_t* data, size_t length);

  std::FILE* file_ = nullptr;
  ApfFileHeader header_;
  ApfPageHeader page_;
  long dataOffset_ = 0;
};

// Reads the file header (and checks the signature) of an APF file.
int ReadApfFileHeader(const std::filesystem::path& path, ApfFileHeader& header);
// Reads the page header of page p of an APF file.
int ReadApfPageHeader(const std::filesystem::path& path, unsigned page, ApfPageHeader& header);

}  // namespace ql
