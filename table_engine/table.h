#pragma once
// One open table (a work area): the DBF file, its production CDX index (same base name,
// extension ".CDX"), the current order and filter, and the current row.
//
// The current row is held in a buffer: Replace() changes the buffer and PutRecord(),
// Commit(), any move to another row, AppendBlank() and Close() write it back, updating
// every tag whose key or FOR condition changed. Delete() and Recall() write at once.
// Text goes in and out as UTF-8 and is stored in code page 1252.
//
// A row is visible when it passes the filter and, with hidden deleted rows switched on,
// is not marked deleted. Navigation only ever stops on visible rows; past the last one
// the table is at end of file, its row number one above the row count.
//
// Shared opens (the phone book between two programs): every write takes the writer lock
// (waiting up to the lock time-out), picks up what the other process changed, writes,
// and flushes the index before it lets go. Readers notice changes before they move.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "table_engine/cdx_file.h"
#include "table_engine/dbf_file.h"
#include "table_engine/expression.h"

namespace ql::xb {

// Progress of long operations, 0..100.
using ProgressHook = std::function<void(int percent)>;

struct TagDefinition {
  std::string name;
  std::string keyExpression;
  std::string forExpression;  // empty: every row
  bool descending = false;
};

class Table {
 public:
  Table() = default;
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Creates an empty table (no index) - xbOK only when the file exists afterwards.
  static int Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields);
  static std::filesystem::path IndexPathFor(const std::filesystem::path& dbf);

  // Opens the table and its production index. A missing index leaves the table without
  // tags; a damaged one (or one whose expressions do not fit the fields) is deleted so
  // that the caller builds its tags again - unless the table is open read-only.
  int Open(const std::filesystem::path& path, OpenMode mode);
  int Close();
  bool IsOpen() const { return dbf_.IsOpen(); }
  const std::filesystem::path& Path() const { return dbf_.Path(); }
  OpenMode Mode() const { return dbf_.Mode(); }
  const std::vector<DbfField>& Fields() const { return dbf_.Fields(); }

  // Engine-wide switches, set by the environment.
  void SetHideDeleted(bool hide) { hideDeleted_ = hide; }
  void SetLockTimeoutSeconds(int seconds) { lockTimeoutSeconds_ = seconds; }
  void SetProgressHook(ProgressHook hook) { progress_ = std::move(hook); }

  // Index tags.
  bool HasIndex() const { return cdx_.IsOpen(); }
  int IndexTag(const TagDefinition& tag);
  std::vector<TagDefinition> TagDefinitions() const;
  int TagCount() const { return static_cast<int>(tags_.size()); }
  int TagArea(std::string_view name) const;  // order number 1.., 0 when absent
  std::string TagName(int order) const;       // "" when out of range
  int SetOrder(int order);                    // 0 = record order
  int IndexOrd() const { return order_; }
  int CloseIndexes();
  // Writes the index again from the rows (all tags, same definitions).
  int Reindex();

  // Filter.
  int Query(std::string_view expression);  // "" clears it
  const std::string& DBFilter() const { return filter_.Text(); }
  int QueryRecCount();

  // Navigation.
  int GoTop();
  int GoBottom();
  int Skip(int64_t n = 1);
  int Go(uint32_t recno);
  uint32_t RecNo() const { return current_ == 0 ? dbf_.RecordCount() + 1 : current_; }
  uint32_t RecCount() const { return dbf_.RecordCount() + (appendPending_ ? 1 : 0); }
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  // Seeks the value on the current tag (text: a prefix is enough); 1 found, 0 not found
  // (the table is then at end of file), negative on error.
  int Seek(std::string_view value);

  // Reading the current row.
  int GetString(std::string_view field, std::string& utf8) const;  // trailing blanks removed
  int GetDateString(std::string_view field, std::string& yyyymmdd) const;  // "" when empty
  int GetLogical(std::string_view field, bool& value) const;
  int GetNumber(std::string_view field, double& value) const;
  bool Deleted() const { return current_ != 0 && !record_.empty() && record_[0] == '*'; }
  // Every field of the current row as text, in table order.
  int GetRecord(std::vector<std::string>& values) const;

  // Writing.
  int AppendBlank();
  // Text for C (cut to the width), "YYYYMMDD" or "" for D, "T"/"F" (".T.", "Y", ...) for L,
  // a number for N. A value that cannot be stored gives xbTypeMismatch.
  int Replace(std::string_view field, std::string_view value);
  int PutRecord();
  int Commit();
  int Delete();
  int Recall();
  int Rlock();
  int Unlock();
  // Removes deleted rows for good (builds the new file beside the old one and renames it
  // over it), then rebuilds every tag. Needs an exclusive open.
  int Pack();

 private:
  class ReadGuard;
  struct TagRuntime {
    Expression key;
    Expression condition;
    ValueType type = ValueType::Character;
  };

  int FieldAt(std::string_view name, const DbfField*& field) const;
  int SetDeletionMark(char mark);
  int GoToEnd(bool top);
  int LoadRecord(uint32_t recno);
  void SetEof();
  bool Visible(const std::string& record, uint32_t recno) const;
  int CompileTags();
  void DropIndex();
  std::string KeyOf(std::size_t tag, const std::string& record, uint32_t recno) const;
  bool InTag(std::size_t tag, const std::string& record, uint32_t recno) const;
  int UpdateKeys(const std::string& before, const std::string& after, uint32_t recno, bool appended);
  int WriteCurrent();
  int BeginWrite();
  int EndWrite(int rc);
  int SyncShared();
  bool Descending() const;
  int PositionCursor(CdxCursor& c, bool forward);
  int StepTag(CdxCursor& c, bool forward);
  int WalkTag(CdxCursor c, bool forward, int64_t count);
  int WalkRecords(uint32_t from, bool forward, int64_t count);
  int BuildTags(CdxFile& out, const std::vector<TagDefinition>& defs);
  int BuildIndexFile(const std::filesystem::path& path, const std::vector<TagDefinition>& tags);
  void Report(std::size_t done, std::size_t total, int base, int span);

  DbfFile dbf_;
  CdxFile cdx_;
  std::vector<TagRuntime> tags_;
  int order_ = 0;
  Expression filter_;
  uint32_t current_ = 0;
  std::string record_;    // the current row as changed
  std::string original_;  // the current row as stored
  bool modified_ = false;
  bool appendPending_ = false;  // the current row is new and not in the file yet
  bool eof_ = true;
  bool bof_ = true;
  bool hideDeleted_ = false;
  int lockTimeoutSeconds_ = 1;
  uint32_t lockedRecord_ = 0;
  int writeDepth_ = 0;
  int readDepth_ = 0;
  uint32_t knownChangeCount_ = 0;
  ProgressHook progress_;
};

}  // namespace ql::xb
