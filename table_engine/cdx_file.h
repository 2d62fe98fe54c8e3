#pragma once
// A compound index file in the common xBase ".CDX" layout: 512-byte blocks, a tag directory
// (itself a small B+-tree of tag names) and one B+-tree per tag, with compressed leaves.
// Keys are ordered byte by byte, ties by record number. A descending tag stores its keys
// in ascending order like any other; the table walks it backward.
//
// Nodes are read on demand into a cache and written back by Flush(). While changes are
// in memory the directory header carries a "dirty" mark, so an index left behind by a
// process killed before Flush() is recognised as damaged (and rebuilt) on the next open.
// Freed blocks are not reused; rebuilding the indexes writes the file compactly again.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ql::xb {

struct CdxTag {
  std::string name;         // upper case, at most 10 characters
  std::string keyExpression;
  std::string forExpression;  // empty when the tag has no FOR condition
  bool descending = false;
  int keyLength = 0;
  unsigned char fill = ' ';   // trailing byte compressed in leaves: blank for text keys, 0 otherwise
  uint32_t header = 0;        // file offset of the tag header
  uint32_t root = 0;
};

struct CdxKey {
  std::string key;  // exactly keyLength bytes
  uint32_t recno = 0;
};

// A position in a tag: a leaf and an entry in it; leaf == 0 means past either end.
struct CdxCursor {
  uint32_t leaf = 0;
  int index = 0;
  int tag = 0;
  bool Valid() const { return leaf != 0; }
};

class CdxFile {
 public:
  CdxFile();
  ~CdxFile();
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  // A new file holding only an empty tag directory (replaces any file of that name).
  int Create(const std::filesystem::path& path);
  // Opens and checks the directory and every tag header; xbBadIndex when damaged.
  int Open(const std::filesystem::path& path, bool readOnly);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Tags in creation order (ascending header offset).
  const std::vector<CdxTag>& Tags() const { return tags_; }
  int FindTag(const std::string& name) const;  // index in Tags(), -1 when absent

  using Progress = std::function<void(std::size_t done, std::size_t total)>;
  // Adds a tag built from keys already sorted by (key, record). progress(done, total)
  // is called while the leaves are built.
  int AddTag(CdxTag tag, std::vector<CdxKey> sortedKeys, const Progress& progress = {});
  // The fill byte of a tag's keys follows from the type of its key expression, which
  // only the table knows; it must be set right after Open, before the tag is read.
  void SetKeyFill(int tag, unsigned char fill);

  int Insert(int tag, const std::string& key, uint32_t recno);
  int Remove(int tag, const std::string& key, uint32_t recno);

  // Navigation in stored (ascending) order.
  int First(int tag, CdxCursor& c);
  int Last(int tag, CdxCursor& c);
  int Next(CdxCursor& c);
  int Prev(CdxCursor& c);
  // First entry >= (key, recno); key may be shorter than the key length (prefix).
  int LowerBound(int tag, const std::string& key, uint32_t recno, CdxCursor& c);
  int Read(const CdxCursor& c, CdxKey& out);

  // Marks the file as being changed before the table touches its rows, so that a crash
  // at any point leaves an index that is recognised as stale.
  int BeginChange() { return MarkDirty(); }
  // Writes every changed block and header, then clears the dirty mark.
  int Flush();
  // Forgets cached blocks and re-reads the headers (another process changed the file).
  int Reload();
  // The change counter, bumped by every Flush() that wrote something.
  uint32_t StoredChangeCount();
  uint32_t ChangeCount() const { return changeCount_; }

  struct Node;

 private:
  static constexpr int kDirectory = -1;  // tag number of the tag directory
  struct PathStep {
    uint32_t node;
    int index;
  };

  int ReadHeaders();
  int ReadTagHeader(uint32_t offset, CdxTag& tag);
  int WriteTagHeader(const CdxTag& tag, bool directory);
  CdxTag* TagAt(int tag);
  Node* Load(const CdxTag& tag, uint32_t offset);
  Node* NewNode(int tag, bool leaf);
  void Touch(int tag, Node& n);
  void MarkHeaderDirty(int tag);
  uint32_t Allocate(uint32_t bytes);
  int MarkDirty();
  bool Overflows(const CdxTag& t, Node& n) const;
  int PathForChange(int tag, const std::string& key, uint32_t recno, std::vector<PathStep>& path);
  int Descend(int tag, const std::string& key, uint32_t recno, std::vector<PathStep>& path);
  int Repair(int tag, std::vector<PathStep>& path);
  int Split(int tag, std::vector<PathStep>& path, std::size_t level);
  int Settle(CdxCursor& c, bool forward);
  int Edge(int tag, CdxCursor& c, bool first);
  int BuildTree(int tag, std::vector<CdxKey> keys, const Progress& progress);

  int fd_ = -1;
  bool readOnly_ = false;
  uint32_t fileSize_ = 0;
  uint32_t changeCount_ = 0;
  bool dirty_ = false;
  CdxTag directory_;
  std::vector<CdxTag> tags_;
  std::vector<bool> tagHeaderDirty_;
  bool directoryHeaderDirty_ = false;
  std::unordered_map<uint32_t, std::unique_ptr<Node>> cache_;
  std::unordered_map<uint32_t, int> nodeOwner_;  // changed node -> its tag (kDirectory for the directory)
};

}  // namespace ql::xb
