#include "table_engine/table.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/file_names.h"
#include "platform/text.h"
#include "table_engine/codepage.h"
#include "table_engine/file_io.h"
#include "table_engine/key_encoding.h"
#include "table_engine/table_errors.h"

namespace ql::xb {
namespace {

constexpr uint32_t kScanChunk = 512;  // records per read in full scans

// Fields are padded with spaces; some writers pad with NULs.
constexpr std::string_view kFieldPadding(" \0", 2);
std::string_view RightTrimmed(std::string_view s) { return TrimRight(s, kFieldPadding); }

// Retries a non-blocking lock until it succeeds or the time-out has passed.
template <typename TryLock>
bool LockWithTimeout(TryLock tryLock, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::max(0, seconds));
  for (;;) {
    if (tryLock()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Keys of fixed length side by side in `flat`, with their record numbers, in record
// order: returns them sorted by (key, record).
std::vector<CdxKey> SortKeys(const std::string& flat, const std::vector<uint32_t>& recnos, std::size_t length) {
  // Bytes every key shares decide nothing and are skipped; each entry then carries the
  // next sixteen bytes of its key as two numbers, which decide most comparisons without
  // touching the buffer. Rows were gathered in record order, so among equal keys the
  // lower position is the lower record number.
  const std::size_t keyCount = recnos.size();
  std::size_t common = keyCount == 0 ? 0 : length;
  for (std::size_t i = 1; i < keyCount && common > 0; ++i)
    while (common > 0 && std::memcmp(flat.data(), flat.data() + i * length, common) != 0) --common;
  struct Entry {
    uint64_t high, low;
    uint32_t at;
  };
  auto word = [&](std::size_t key, std::size_t from) {
    uint64_t w = 0;
    for (std::size_t k = from; k < from + 8; ++k)
      w = w << 8 | (k < length ? static_cast<unsigned char>(flat[key * length + k]) : 0u);
    return w;
  };
  std::vector<Entry> order(keyCount);
  for (uint32_t i = 0; i < keyCount; ++i) order[i] = {word(i, common), word(i, common + 8), i};
  const std::size_t rest = common + 16;
  std::sort(order.begin(), order.end(), [&](const Entry& x, const Entry& y) {
    if (x.high != y.high) return x.high < y.high;
    if (x.low != y.low) return x.low < y.low;
    if (length > rest) {
      const int c = std::memcmp(flat.data() + x.at * length + rest, flat.data() + y.at * length + rest, length - rest);
      if (c != 0) return c < 0;
    }
    return x.at < y.at;
  });
  std::vector<CdxKey> keys;
  keys.reserve(order.size());
  for (const Entry& e : order) keys.push_back({flat.substr(e.at * length, length), recnos[e.at]});
  return keys;
}

}  // namespace

// Held around every read of a shared or read-only table: waits for a writer in another
// process to finish, then picks up what it changed.
class Table::ReadGuard {
 public:
  explicit ReadGuard(Table& t) : t_(t) {
    if (t_.dbf_.Mode() == OpenMode::Exclusive || t_.writeDepth_ > 0 || t_.readDepth_ > 0) return;
    if (!LockWithTimeout([&] { return t_.dbf_.TryLockReader(); }, t_.lockTimeoutSeconds_)) {
      rc = xbLocked;
      return;
    }
    locked_ = true;
    ++t_.readDepth_;
    rc = t_.SyncShared();
  }
  ~ReadGuard() {
    if (!locked_) return;
    --t_.readDepth_;
    t_.dbf_.UnlockReader();
  }
  ReadGuard(const ReadGuard&) = delete;
  ReadGuard& operator=(const ReadGuard&) = delete;
  int rc = xbOK;

 private:
  Table& t_;
  bool locked_ = false;
};

Table::~Table() { Close(); }

int Table::Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields) {
  const int rc = DbfFile::Create(path, fields);
  if (rc != xbOK) return rc;
  return std::filesystem::exists(path) ? xbOK : xbIoError;
}

std::filesystem::path Table::IndexPathFor(const std::filesystem::path& dbf) {
  std::string name = dbf.stem().string() + ".CDX";
  return ResolveIgnoringCase(dbf.parent_path(), name);
}

int Table::Open(const std::filesystem::path& path, OpenMode mode) {
  Close();
  if (const int rc = dbf_.Open(path, mode); rc != xbOK) return rc;
  const std::filesystem::path index = IndexPathFor(path);
  std::error_code ec;
  {
    // Another process may be writing the index right now: wait for it to finish.
    ReadGuard guard(*this);
    if (std::filesystem::exists(index, ec)) {
      int rc = cdx_.Open(index, mode == OpenMode::ReadOnly);
      if (rc == xbOK) rc = CompileTags();
      if (rc == xbOK) knownChangeCount_ = cdx_.ChangeCount();
      else DropIndex();
    } else if (dbf_.HasProductionIndexFlag() && mode != OpenMode::ReadOnly && dbf_.IsSoleUser()) {
      dbf_.SetProductionIndexFlag(false);
    }
  }
  GoTop();
  return xbOK;
}

// A damaged index is removed so that the tags are built again - not by a read-only open,
// and not while another open of the table may still be using the file.
void Table::DropIndex() {
  cdx_.Close();
  tags_.clear();
  if (dbf_.Mode() == OpenMode::ReadOnly || !dbf_.IsSoleUser()) return;
  std::error_code ec;
  std::filesystem::remove(IndexPathFor(dbf_.Path()), ec);
  dbf_.SetProductionIndexFlag(false);
}

int Table::CompileTags() {
  tags_.clear();
  const auto& defs = cdx_.Tags();
  for (std::size_t i = 0; i < defs.size(); ++i) {
    TagRuntime t;
    if (t.key.Compile(defs[i].keyExpression, dbf_.Fields()) != xbOK) return xbBadIndex;
    if (!defs[i].forExpression.empty() &&
        (t.condition.Compile(defs[i].forExpression, dbf_.Fields()) != xbOK || t.condition.Type() != ValueType::Logical))
      return xbBadIndex;
    t.type = t.key.Type();
    if (KeyLengthFor(t.type, t.key.Width()) != defs[i].keyLength) return xbBadIndex;
    cdx_.SetKeyFill(static_cast<int>(i), KeyFillFor(t.type));
    tags_.push_back(std::move(t));
  }
  return xbOK;
}

int Table::Close() {
  if (!dbf_.IsOpen()) return xbOK;
  int rc = WriteCurrent();
  if (cdx_.IsOpen()) {
    const int flushed = cdx_.Flush();
    if (rc == xbOK) rc = flushed;
  }
  cdx_.Close();
  dbf_.Close();
  tags_.clear();
  filter_ = Expression();
  order_ = 0;
  current_ = 0;
  record_.clear();
  original_.clear();
  modified_ = false;
  appendPending_ = false;
  eof_ = bof_ = true;
  lockedRecord_ = 0;
  return rc;
}

// ---- tags ------------------------------------------------------------------

std::vector<TagDefinition> Table::TagDefinitions() const {
  std::vector<TagDefinition> out;
  for (const CdxTag& t : cdx_.Tags()) out.push_back({t.name, t.keyExpression, t.forExpression, t.descending});
  return out;
}

int Table::TagArea(std::string_view name) const {
  const int i = cdx_.IsOpen() ? cdx_.FindTag(std::string(name)) : -1;
  return i + 1;
}

std::string Table::TagName(int order) const {
  if (order < 1 || order > TagCount()) return "";
  return cdx_.Tags()[static_cast<std::size_t>(order - 1)].name;
}

int Table::SetOrder(int order) {
  if (!IsOpen()) return xbNotOpen;
  if (order < 0 || order > TagCount()) return xbNoSuchTag;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  order_ = order;
  return xbOK;
}

bool Table::Descending() const { return order_ > 0 && cdx_.Tags()[static_cast<std::size_t>(order_ - 1)].descending; }

int Table::CloseIndexes() {
  if (!IsOpen()) return xbNotOpen;
  int rc = WriteCurrent();
  if (cdx_.IsOpen()) {
    const int flushed = cdx_.Flush();
    if (rc == xbOK) rc = flushed;
  }
  cdx_.Close();
  tags_.clear();
  order_ = 0;
  return rc;
}

std::string Table::KeyOf(std::size_t tag, const std::string& record, uint32_t recno) const {
  const Value v = tags_[tag].key.Evaluate({record, recno});
  return EncodeKey(v, cdx_.Tags()[tag].keyLength);
}

bool Table::InTag(std::size_t tag, const std::string& record, uint32_t recno) const {
  const Expression& c = tags_[tag].condition;
  return !c.IsCompiled() || c.IsTrue({record, recno});
}

void Table::Report(std::size_t done, std::size_t total, int base, int span) {
  if (!progress_) return;
  const int percent = total == 0 ? base + span : base + static_cast<int>(static_cast<uint64_t>(done) * span / total);
  progress_(std::clamp(percent, 0, 100));
}

// Scans every row once and adds these tags, each built from its sorted keys, to an index
// file. Progress: the scan takes the first half, building the trees the second.
int Table::BuildTags(CdxFile& out, const std::vector<TagDefinition>& defs) {
  // Keys are gathered side by side in one buffer (fixed length each) and sorted as
  // positions into it: far fewer allocations and moves than sorting strings.
  struct Build {
    TagRuntime runtime;
    int keyLength = 0;
    std::string flat;
    std::vector<uint32_t> recnos;
  };
  std::vector<Build> builds(defs.size());
  const uint32_t count = dbf_.RecordCount();
  for (std::size_t d = 0; d < defs.size(); ++d) {
    TagRuntime& t = builds[d].runtime;
    if (t.key.Compile(defs[d].keyExpression, dbf_.Fields()) != xbOK) return xbBadExpression;
    if (!defs[d].forExpression.empty() &&
        (t.condition.Compile(defs[d].forExpression, dbf_.Fields()) != xbOK || t.condition.Type() != ValueType::Logical))
      return xbBadExpression;
    builds[d].keyLength = KeyLengthFor(t.key.Type(), t.key.Width());
    if (builds[d].keyLength < 1 || builds[d].keyLength > 240) return xbKeyTooLong;
    builds[d].flat.reserve(static_cast<std::size_t>(count) * static_cast<std::size_t>(builds[d].keyLength));
    builds[d].recnos.reserve(count);
  }
  std::string chunk;
  Report(0, count, 0, 50);
  for (uint32_t first = 1; first <= count; first += kScanChunk) {
    const uint32_t n = std::min(kScanChunk, count - first + 1);
    if (const int rc = dbf_.ReadRecords(first, n, chunk); rc != xbOK) return rc;
    for (uint32_t i = 0; i < n; ++i) {
      const std::string_view rec(chunk.data() + static_cast<std::size_t>(i) * dbf_.RecordLength(),
                                 static_cast<std::size_t>(dbf_.RecordLength()));
      const RowView row{rec, first + i};
      for (Build& b : builds) {
        if (b.runtime.condition.IsCompiled() && !b.runtime.condition.IsTrue(row)) continue;
        const std::string key = EncodeKey(b.runtime.key.Evaluate(row), b.keyLength);
        if (key.size() != static_cast<std::size_t>(b.keyLength)) return xbBadArgument;
        b.flat += key;
        b.recnos.push_back(first + i);
      }
    }
    Report(first + n - 1, count, 0, 50);
  }
  for (std::size_t d = 0; d < defs.size(); ++d) {
    Build& b = builds[d];
    std::vector<CdxKey> keys = SortKeys(b.flat, b.recnos, static_cast<std::size_t>(b.keyLength));
    b.flat = {};
    b.recnos = {};
    CdxTag tag;
    tag.name = defs[d].name;
    tag.keyExpression = defs[d].keyExpression;
    tag.forExpression = defs[d].forExpression;
    tag.descending = defs[d].descending;
    tag.keyLength = b.keyLength;
    tag.fill = KeyFillFor(b.runtime.key.Type());
    const int base = 50 + static_cast<int>(d * 50 / defs.size());
    const int span = 50 + static_cast<int>((d + 1) * 50 / defs.size()) - base;
    const int rc = out.AddTag(tag, std::move(keys), [&](std::size_t done, std::size_t total) { Report(done, total, base, span); });
    if (rc != xbOK) return rc;
  }
  return xbOK;
}

// Writes a new index file holding these tags.
int Table::BuildIndexFile(const std::filesystem::path& path, const std::vector<TagDefinition>& defs) {
  CdxFile out;
  if (const int rc = out.Create(path); rc != xbOK) return rc;
  if (const int rc = BuildTags(out, defs); rc != xbOK) return rc;
  return out.Flush();
}

int Table::IndexTag(const TagDefinition& def) {
  if (!IsOpen()) return xbNotOpen;
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbReadOnly;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  if (def.name.empty() || def.name.size() > 10) return xbBadArgument;
  if (cdx_.IsOpen() && cdx_.FindTag(def.name) >= 0) return xbBadArgument;
  if (const int rc = BeginWrite(); rc != xbOK) return rc;
  int rc = xbOK;
  if (!cdx_.IsOpen()) {
    // A new index file replaces whatever is there, which is only safe while no other
    // open of the table might be reading it.
    std::error_code ec;
    if (std::filesystem::exists(IndexPathFor(dbf_.Path()), ec) && !dbf_.IsSoleUser()) return EndWrite(xbLocked);
    rc = cdx_.Create(IndexPathFor(dbf_.Path()));
    if (rc == xbOK) rc = dbf_.SetProductionIndexFlag(true);
  }
  if (rc == xbOK) rc = BuildTags(cdx_, {def});
  if (rc == xbOK) rc = CompileTags();
  if (rc != xbOK && cdx_.IsOpen()) {
    // A tag that fails to build leaves the index as it was before (the failed tag is
    // only in memory): reread it from the file.
    const int reloaded = cdx_.Reload();
    if (reloaded != xbOK || CompileTags() != xbOK) DropIndex();
  }
  knownChangeCount_ = cdx_.ChangeCount();
  return EndWrite(rc);
}

int Table::Reindex() {
  if (!IsOpen()) return xbNotOpen;
  if (!cdx_.IsOpen()) return xbOK;
  const std::vector<TagDefinition> defs = TagDefinitions();
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  if (const int rc = BeginWrite(); rc != xbOK) return rc;
  const std::filesystem::path index = IndexPathFor(dbf_.Path());
  const std::filesystem::path temp = TemporarySibling(index);
  int rc = BuildIndexFile(temp, defs);
  std::error_code ec;
  if (rc == xbOK) {
    cdx_.Close();
    std::filesystem::rename(temp, index, ec);
    rc = ec ? xbIoError : cdx_.Open(index, false);
    if (rc == xbOK) rc = CompileTags();
    knownChangeCount_ = cdx_.ChangeCount();
  }
  std::filesystem::remove(temp, ec);
  if (rc != xbOK) DropIndex();
  return EndWrite(rc);
}

// ---- filter ----------------------------------------------------------------

int Table::Query(std::string_view expression) {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  Expression e;
  if (!RightTrimmed(expression).empty()) {
    if (e.Compile(expression, dbf_.Fields()) != xbOK || e.Type() != ValueType::Logical) return xbBadExpression;
  }
  filter_ = std::move(e);
  return xbOK;
}

bool Table::Visible(const std::string& record, uint32_t recno) const {
  if (record.empty()) return false;
  if (hideDeleted_ && record[0] == '*') return false;
  return !filter_.IsCompiled() || filter_.IsTrue({record, recno});
}

int Table::QueryRecCount() {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  ReadGuard guard(*this);
  if (guard.rc != xbOK) return guard.rc;
  const uint32_t count = dbf_.RecordCount();
  const auto length = static_cast<std::size_t>(dbf_.RecordLength());
  std::string chunk;
  std::string one;
  int visible = 0;
  for (uint32_t first = 1; first <= count; first += kScanChunk) {
    const uint32_t n = std::min(kScanChunk, count - first + 1);
    if (const int rc = dbf_.ReadRecords(first, n, chunk); rc != xbOK) return rc;
    for (uint32_t i = 0; i < n; ++i) {
      one.assign(chunk, static_cast<std::size_t>(i) * length, length);
      if (Visible(one, first + i)) ++visible;
    }
  }
  return visible;
}

// ---- navigation ------------------------------------------------------------

int Table::LoadRecord(uint32_t recno) {
  std::string record;
  if (const int rc = dbf_.ReadRecord(recno, record); rc != xbOK) return rc;
  current_ = recno;
  record_ = record;
  original_ = std::move(record);
  modified_ = false;
  eof_ = false;
  return xbOK;
}

void Table::SetEof() {
  current_ = 0;
  record_.clear();
  original_.clear();
  modified_ = false;
  eof_ = true;
}

// From record `from` on (inclusive) in the given direction: passes `count` visible rows
// and stops on the next one. 1 when found (now current), 0 when the table ran out.
int Table::WalkRecords(uint32_t from, bool forward, int64_t count) {
  std::string record;
  for (int64_t r = from; r >= 1 && r <= static_cast<int64_t>(dbf_.RecordCount()); r += forward ? 1 : -1) {
    const auto recno = static_cast<uint32_t>(r);
    if (const int rc = dbf_.ReadRecord(recno, record); rc != xbOK) return rc;
    if (!Visible(record, recno)) continue;
    if (count-- > 0) continue;
    current_ = recno;
    record_ = record;
    original_ = std::move(record);
    modified_ = false;
    eof_ = false;
    return 1;
  }
  return 0;
}

// The same in the current tag, from a cursor position (inclusive), in stored order.
int Table::WalkTag(CdxCursor c, bool storedForward, int64_t count) {
  std::string record;
  CdxKey entry;
  const uint64_t limit = 2 * static_cast<uint64_t>(dbf_.RecordCount()) + 16;
  for (uint64_t steps = 0; c.Valid(); ++steps) {
    if (steps > limit) return xbBadIndex;  // a cycle or a stale index: never loop for ever
    if (const int rc = cdx_.Read(c, entry); rc != xbOK) return rc;
    if (entry.recno >= 1 && entry.recno <= dbf_.RecordCount()) {
      if (const int rc = dbf_.ReadRecord(entry.recno, record); rc != xbOK) return rc;
      if (Visible(record, entry.recno) && count-- == 0) {
        current_ = entry.recno;
        record_ = record;
        original_ = std::move(record);
        modified_ = false;
        eof_ = false;
        return 1;
      }
    }
    const int rc = storedForward ? cdx_.Next(c) : cdx_.Prev(c);
    if (rc != xbOK) return rc;
  }
  return 0;
}

// Positions a cursor on the entry next to the current row in view order (the current
// row need not be in the tag: its key still says where it would stand).
int Table::PositionCursor(CdxCursor& c, bool viewForward) {
  const int tag = order_ - 1;
  const bool storedForward = viewForward != Descending();
  const std::string key = KeyOf(static_cast<std::size_t>(tag), original_, current_);
  if (const int rc = cdx_.LowerBound(tag, key, current_, c); rc != xbOK) return rc;
  CdxKey entry;
  bool exact = false;
  if (c.Valid()) {
    if (const int rc = cdx_.Read(c, entry); rc != xbOK) return rc;
    exact = entry.recno == current_ && entry.key == key;
  }
  if (storedForward) return exact ? cdx_.Next(c) : xbOK;
  if (c.Valid()) return cdx_.Prev(c);
  return cdx_.Last(tag, c);
}

int Table::GoTop() { return GoToEnd(true); }
int Table::GoBottom() { return GoToEnd(false); }

// The first visible row in view order (top) or the last one (bottom).
int Table::GoToEnd(bool top) {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  ReadGuard guard(*this);
  if (guard.rc != xbOK) return guard.rc;
  bof_ = false;
  int found;
  if (order_ == 0) {
    found = WalkRecords(top ? 1 : dbf_.RecordCount(), top, 0);
  } else {
    // Stored order runs forward from the first entry; a descending view starts at the last.
    const bool fromFirst = top != Descending();
    CdxCursor c;
    const int rc = fromFirst ? cdx_.First(order_ - 1, c) : cdx_.Last(order_ - 1, c);
    found = rc != xbOK ? rc : WalkTag(c, fromFirst, 0);
  }
  if (found <= 0) {
    SetEof();
    bof_ = true;
  }
  return found < 0 ? found : xbOK;
}

int Table::Skip(int64_t n) {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  ReadGuard guard(*this);
  if (guard.rc != xbOK) return guard.rc;
  if (n == 0) return current_ == 0 ? xbOK : LoadRecord(current_);
  const bool forward = n > 0;
  const int64_t count = (forward ? n : -n) - 1;
  bof_ = false;
  if (current_ == 0) {
    if (forward) return xbOK;  // already past the end
    if (const int rc = GoBottom(); rc != xbOK || current_ == 0) return rc;
    return count == 0 ? xbOK : Skip(-count);
  }
  int found;
  if (order_ == 0) {
    found = current_ + (forward ? 1 : -1) >= 1 ? WalkRecords(forward ? current_ + 1 : current_ - 1, forward, count) : 0;
  } else {
    CdxCursor c;
    const int rc = PositionCursor(c, forward);
    found = rc != xbOK ? rc : WalkTag(c, forward != Descending(), count);
  }
  if (found < 0) return found;
  if (found == 0) {
    if (forward) {
      SetEof();
    } else {
      if (const int rc = GoTop(); rc != xbOK) return rc;
      bof_ = true;
    }
  }
  return xbOK;
}

int Table::Go(uint32_t recno) {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  ReadGuard guard(*this);
  if (guard.rc != xbOK) return guard.rc;
  bof_ = false;
  if (recno < 1 || recno > dbf_.RecordCount()) {
    SetEof();
    return xbBadRecord;
  }
  return LoadRecord(recno);
}

int Table::Seek(std::string_view value) {
  if (!IsOpen()) return xbNotOpen;
  if (order_ == 0) return xbNoSuchTag;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  ReadGuard guard(*this);
  if (guard.rc != xbOK) return guard.rc;
  const int tag = order_ - 1;
  const int keyLength = cdx_.Tags()[static_cast<std::size_t>(tag)].keyLength;
  Value v;
  v.type = tags_[static_cast<std::size_t>(tag)].type;
  std::string key;
  if (v.type == ValueType::Character) {
    key = Utf8ToCp1252(value).substr(0, static_cast<std::size_t>(keyLength));
  } else {
    const std::string text(value);
    v.number = std::strtod(text.c_str(), nullptr);
    v.text = text;
    v.logical = !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
    key = EncodeKey(v, keyLength);
  }
  CdxCursor c;
  if (const int rc = cdx_.LowerBound(tag, key, 0, c); rc != xbOK) return rc;
  bof_ = false;
  CdxKey entry;
  std::string record;
  const uint64_t limit = 2 * static_cast<uint64_t>(dbf_.RecordCount()) + 16;
  for (uint64_t steps = 0; c.Valid() && steps <= limit; ++steps) {
    if (const int rc = cdx_.Read(c, entry); rc != xbOK) return rc;
    if (entry.key.compare(0, key.size(), key) != 0) break;
    if (entry.recno >= 1 && entry.recno <= dbf_.RecordCount()) {
      if (const int rc = dbf_.ReadRecord(entry.recno, record); rc != xbOK) return rc;
      if (Visible(record, entry.recno)) {
        if (const int rc = LoadRecord(entry.recno); rc != xbOK) return rc;
        return 1;
      }
    }
    if (const int rc = cdx_.Next(c); rc != xbOK) return rc;
  }
  SetEof();
  return 0;
}

// ---- reading ---------------------------------------------------------------

int Table::FieldAt(std::string_view name, const DbfField*& field) const {
  if (!IsOpen()) return xbNotOpen;
  const int i = dbf_.FieldIndex(name);
  if (i < 0) return xbNoSuchField;
  field = &dbf_.Fields()[static_cast<std::size_t>(i)];
  return xbOK;
}

int Table::GetString(std::string_view name, std::string& utf8) const {
  const DbfField* f = nullptr;
  if (const int rc = FieldAt(name, f); rc != xbOK) return rc;
  utf8.clear();
  if (current_ == 0) return xbOK;
  const std::string_view raw(record_.data() + f->offset, static_cast<std::size_t>(f->width));
  if (f->type == 'N' || f->type == 'F') {
    utf8.assign(TrimLeft(RightTrimmed(raw), " "));
    return xbOK;
  }
  utf8 = Cp1252ToUtf8(RightTrimmed(raw));
  return xbOK;
}

int Table::GetDateString(std::string_view name, std::string& yyyymmdd) const {
  const DbfField* f = nullptr;
  if (const int rc = FieldAt(name, f); rc != xbOK) return rc;
  yyyymmdd.clear();
  if (current_ == 0) return xbOK;
  const std::string raw(record_.data() + f->offset, static_cast<std::size_t>(f->width));
  if (JulianDay(raw) != 0) yyyymmdd = raw.substr(0, 8);
  return xbOK;
}

int Table::GetLogical(std::string_view name, bool& value) const {
  const DbfField* f = nullptr;
  if (const int rc = FieldAt(name, f); rc != xbOK) return rc;
  const char c = current_ == 0 ? ' ' : record_[static_cast<std::size_t>(f->offset)];
  value = c == 'T' || c == 't' || c == 'Y' || c == 'y';
  return xbOK;
}

int Table::GetNumber(std::string_view name, double& value) const {
  std::string text;
  if (const int rc = GetString(name, text); rc != xbOK) return rc;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != '\0' || !std::isfinite(value)) value = 0;
  return xbOK;
}

int Table::GetRecord(std::vector<std::string>& values) const {
  if (!IsOpen()) return xbNotOpen;
  values.clear();
  for (const DbfField& f : dbf_.Fields()) {
    std::string v;
    GetString(f.name, v);
    values.push_back(std::move(v));
  }
  return xbOK;
}

// ---- writing ---------------------------------------------------------------

int Table::BeginWrite() {
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbReadOnly;
  if (writeDepth_++ > 0) return xbOK;
  if (dbf_.Mode() == OpenMode::Shared) {
    if (!LockWithTimeout([&] { return dbf_.TryLockWriter(); }, lockTimeoutSeconds_)) {
      --writeDepth_;
      return xbLocked;
    }
    if (const int rc = SyncShared(); rc != xbOK) {
      dbf_.UnlockWriter();
      --writeDepth_;
      return rc;
    }
  }
  if (cdx_.IsOpen()) {
    if (const int rc = cdx_.BeginChange(); rc != xbOK) {
      if (dbf_.Mode() == OpenMode::Shared) dbf_.UnlockWriter();
      --writeDepth_;
      return rc;
    }
  }
  return xbOK;
}

int Table::EndWrite(int rc) {
  if (--writeDepth_ > 0 || dbf_.Mode() != OpenMode::Shared) return rc;
  if (cdx_.IsOpen()) {
    const int flushed = cdx_.Flush();
    if (rc == xbOK) rc = flushed;
    knownChangeCount_ = cdx_.ChangeCount();
  }
  dbf_.UnlockWriter();
  return rc;
}

// Shared and read-only opens: picks up rows appended and index changes made elsewhere.
int Table::SyncShared() {
  if (dbf_.Mode() == OpenMode::Exclusive) return xbOK;
  if (const int rc = dbf_.RefreshCount(); rc != xbOK) return rc;
  if (cdx_.IsOpen() && writeDepth_ <= 1 && cdx_.StoredChangeCount() != knownChangeCount_) {
    if (const int rc = cdx_.Reload(); rc != xbOK) return rc;
    knownChangeCount_ = cdx_.ChangeCount();
  }
  return xbOK;
}

int Table::UpdateKeys(const std::string& before, const std::string& after, uint32_t recno, bool appended) {
  // Marking a row deleted or recalling it changes only the flag byte: only tags that read
  // the flag can change then, which spares evaluating every other key twice.
  const bool onlyFlag = !appended && before.size() == after.size() && !before.empty() &&
                        std::string_view(before).substr(1) == std::string_view(after).substr(1);
  for (std::size_t t = 0; t < tags_.size(); ++t) {
    if (onlyFlag && !tags_[t].key.UsesDeleted() &&
        !(tags_[t].condition.IsCompiled() && tags_[t].condition.UsesDeleted()))
      continue;
    const bool wasIn = !appended && InTag(t, before, recno);
    const bool isIn = InTag(t, after, recno);
    if (!wasIn && !isIn) continue;
    const std::string oldKey = wasIn ? KeyOf(t, before, recno) : std::string();
    const std::string newKey = isIn ? KeyOf(t, after, recno) : std::string();
    if (wasIn && isIn && oldKey == newKey) continue;
    if (wasIn) {
      if (const int rc = cdx_.Remove(static_cast<int>(t), oldKey, recno); rc != xbOK) return rc;
    }
    if (isIn) {
      if (const int rc = cdx_.Insert(static_cast<int>(t), newKey, recno); rc != xbOK) return rc;
    }
  }
  return xbOK;
}

int Table::WriteCurrent() {
  if (!modified_ || current_ == 0) return xbOK;
  if (const int rc = BeginWrite(); rc != xbOK) return rc;
  const bool autoLock = dbf_.Mode() == OpenMode::Shared && lockedRecord_ != current_;
  if (autoLock && !LockWithTimeout([&] { return dbf_.TryLockRecord(current_); }, lockTimeoutSeconds_))
    return EndWrite(xbLocked);
  const uint32_t lockedAs = current_;
  int rc;
  if (appendPending_) {
    rc = dbf_.AppendRecord(record_, current_);  // another process may have appended first
    if (rc == xbOK) appendPending_ = false;
    rc = rc == xbOK ? UpdateKeys(original_, record_, current_, true) : rc;
  } else {
    rc = dbf_.WriteRecord(current_, record_);
    if (rc == xbOK) rc = UpdateKeys(original_, record_, current_, false);
  }
  if (rc == xbOK) {
    original_ = record_;
    modified_ = false;
  }
  if (autoLock) dbf_.UnlockRecord(lockedAs);
  return EndWrite(rc);
}

int Table::PutRecord() {
  if (!IsOpen()) return xbNotOpen;
  if (current_ == 0) return xbBadRecord;
  return WriteCurrent();
}

int Table::Commit() {
  if (!IsOpen()) return xbNotOpen;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbOK;
  if (cdx_.IsOpen()) {
    if (const int rc = cdx_.Flush(); rc != xbOK) return rc;
  }
  return dbf_.Sync();
}

int Table::AppendBlank() {
  if (!IsOpen()) return xbNotOpen;
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbReadOnly;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  // The new row reaches the file (and its keys the tags) when it is written, usually right
  // after the caller has filled it: one write instead of a blank one and a full one. Until
  // then it is the current row, numbered one after the last.
  current_ = dbf_.RecordCount() + 1;
  record_ = original_ = dbf_.BlankRecord();
  modified_ = true;
  appendPending_ = true;
  eof_ = bof_ = false;
  return xbOK;
}

int Table::Replace(std::string_view name, std::string_view value) {
  const DbfField* f = nullptr;
  if (const int rc = FieldAt(name, f); rc != xbOK) return rc;
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbReadOnly;
  if (current_ == 0) return xbBadRecord;
  const auto width = static_cast<std::size_t>(f->width);
  std::string stored;
  const std::string trimmed(RightTrimmed(value));
  switch (f->type) {
    case 'C':
      stored = Utf8ToCp1252(value).substr(0, width);  // longer values are cut to the field
      break;
    case 'D': {
      std::string digits;
      for (char c : trimmed)
        if (c != '-' && c != ' ') digits += c;
      if (!digits.empty() && (digits.size() != 8 || JulianDay(digits) == 0)) return xbTypeMismatch;
      stored = digits;
      break;
    }
    case 'L': {
      std::string_view t = trimmed;
      if (!t.empty() && t.front() == '.') t.remove_prefix(1);
      const char c = t.empty() ? 'F' : t.front();
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') stored.assign(1, 'T');
      else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') stored.assign(1, 'F');
      else return xbTypeMismatch;
      break;
    }
    case 'N':
    case 'F': {
      if (!trimmed.empty()) {
        char* end = nullptr;
        const double d = std::strtod(trimmed.c_str(), &end);
        if (end == nullptr || *end != '\0' || !std::isfinite(d)) return xbTypeMismatch;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%*.*f", f->width, f->decimals, d);
        if (std::string_view(buf).size() > width) return xbTypeMismatch;
        stored = buf;
      }
      break;
    }
    default:
      return xbTypeMismatch;
  }
  if (f->type == 'N' || f->type == 'F') stored = std::string(width - stored.size(), ' ') + stored;
  else stored.resize(width, ' ');
  record_.replace(static_cast<std::size_t>(f->offset), width, stored);
  modified_ = true;
  return xbOK;
}

int Table::Delete() { return SetDeletionMark('*'); }
int Table::Recall() { return SetDeletionMark(' '); }

int Table::SetDeletionMark(char mark) {
  if (!IsOpen()) return xbNotOpen;
  if (current_ == 0) return xbBadRecord;
  if (dbf_.Mode() == OpenMode::ReadOnly) return xbReadOnly;
  record_[0] = mark;
  modified_ = true;
  return WriteCurrent();
}

int Table::Rlock() {
  if (!IsOpen()) return xbNotOpen;
  if (current_ == 0) return xbBadRecord;
  if (lockedRecord_ == current_) return xbOK;
  Unlock();
  if (!LockWithTimeout([&] { return dbf_.TryLockRecord(current_); }, lockTimeoutSeconds_)) return xbLocked;
  lockedRecord_ = current_;
  return xbOK;
}

int Table::Unlock() {
  if (!IsOpen()) return xbNotOpen;
  if (lockedRecord_ != 0) dbf_.UnlockRecord(lockedRecord_);
  lockedRecord_ = 0;
  return xbOK;
}

int Table::Pack() {
  if (!IsOpen()) return xbNotOpen;
  if (dbf_.Mode() != OpenMode::Exclusive) return xbNeedExclusive;
  if (const int rc = WriteCurrent(); rc != xbOK) return rc;
  std::string header;
  if (const int rc = dbf_.ReadHeaderBytes(header); rc != xbOK) return rc;
  const std::filesystem::path temp = TemporarySibling(dbf_.Path());
  const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return xbIoError;
  const uint32_t count = dbf_.RecordCount();
  const auto length = static_cast<std::size_t>(dbf_.RecordLength());
  off_t at = static_cast<off_t>(header.size());
  uint32_t kept = 0;
  std::string chunk, out;
  int rc = xbOK;
  Report(0, count, 0, 100);
  for (uint32_t first = 1; first <= count && rc == xbOK; first += kScanChunk) {
    const uint32_t n = std::min(kScanChunk, count - first + 1);
    rc = dbf_.ReadRecords(first, n, chunk);
    if (rc != xbOK) break;
    out.clear();
    for (uint32_t i = 0; i < n; ++i) {
      if (chunk[static_cast<std::size_t>(i) * length] == '*') continue;
      out.append(chunk, static_cast<std::size_t>(i) * length, length);
      ++kept;
    }
    if (!FullWriteAt(fd, out.data(), out.size(), at)) rc = xbIoError;
    at += static_cast<off_t>(out.size());
    Report(first + n - 1, count, 0, 100);
  }
  if (rc == xbOK) {
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    EncodeHeaderDate(h + 1);
    for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<unsigned char>(kept >> (8 * i));
    const char eof = 0x1A;
    if (!FullWriteAt(fd, &eof, 1, at) || !FullWriteAt(fd, header.data(), header.size(), 0) || ::fdatasync(fd) != 0)
      rc = xbIoError;
  }
  ::close(fd);
  // Record numbers change with the new file: until the tags are rebuilt the index must
  // count as stale, also for a process killed in between.
  if (rc == xbOK && cdx_.IsOpen()) rc = cdx_.BeginChange();
  if (rc == xbOK) rc = dbf_.ReplaceWith(temp);
  std::error_code ec;
  std::filesystem::remove(temp, ec);
  if (rc != xbOK) return rc;
  SetEof();
  if (cdx_.IsOpen()) rc = Reindex();
  if (rc == xbOK) rc = GoTop();
  return rc;
}

}  // namespace ql::xb
