#include "table_engine/cdx_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "platform/text.h"
#include "table_engine/file_io.h"
#include "table_engine/table_errors.h"

namespace ql::xb {

struct CdxFile::Node {
  uint32_t offset = 0;
  bool leaf = true;
  bool root = false;
  uint32_t left = kNone;
  uint32_t right = kNone;
  std::vector<CdxKey> keys;
  std::vector<uint32_t> children;  // interior nodes: child of each key
  bool dirty = false;
  // Leaves: stored key bytes (without descriptors) and the largest record number,
  // kept up to date on inserts and removals; -1 when they must be counted again.
  int keyBytes = -1;
  uint32_t maxRecno = 0;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
};

namespace {

constexpr uint32_t kBlock = 512;
constexpr uint32_t kHeaderSize = 1024;
constexpr uint32_t kNone = CdxFile::Node::kNone;
constexpr int kLeafSpace = 488;
constexpr int kInteriorSpace = 500;
constexpr int kMaxDepth = 64;
constexpr std::size_t kFlushRun = 256 * 1024;  // bytes of neighbouring blocks written at once
constexpr uint32_t kDirtyMark = 0x51444C59;  // "YLDQ" little-endian: changes not yet flushed

uint32_t Get32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32BE(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32BE(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

int BitsFor(uint64_t v) { return std::max(1, static_cast<int>(std::bit_width(v))); }

// Compares an entry with a target; a shorter target compares as a prefix.
int CompareEntry(const CdxKey& e, const std::string& key, uint32_t recno) {
  const std::size_t n = std::min(e.key.size(), key.size());
  const int c = std::memcmp(e.key.data(), key.data(), n);
  if (c != 0) return c;
  if (e.recno != recno) return e.recno < recno ? -1 : 1;
  return 0;
}

int Trail(const std::string& key, unsigned char fill) {
  int t = 0;
  for (auto it = key.rbegin(); it != key.rend() && static_cast<unsigned char>(*it) == fill; ++it) ++t;
  return t;
}

int Dup(const std::string& prev, int prevTrail, const std::string& key, int trail) {
  const int limit = static_cast<int>(key.size()) - std::max(prevTrail, trail);
  int d = 0;
  while (d < limit && prev[static_cast<std::size_t>(d)] == key[static_cast<std::size_t>(d)]) ++d;
  return d;
}

struct LeafLayout {
  int d = 0, t = 0, b = 0, r = 0;
};

LeafLayout LayoutFor(int keyLength, uint32_t maxRecno) {
  LeafLayout l;
  l.d = l.t = BitsFor(static_cast<uint64_t>(keyLength));
  const int need = BitsFor(maxRecno);
  l.b = 1;
  while (8 * l.b - l.d - l.t < need) ++l.b;
  l.r = 8 * l.b - l.d - l.t;
  return l;
}

// Stored bytes of entry j of a leaf (its key minus the bytes shared with entry j-1 and
// its trailing fill).
int Contribution(const std::vector<CdxKey>& keys, std::size_t j, int keyLength, unsigned char fill) {
  const int t = Trail(keys[j].key, fill);
  if (j == 0) return keyLength - t;
  return keyLength - t - Dup(keys[j - 1].key, Trail(keys[j - 1].key, fill), keys[j].key, t);
}

void EncodeLeaf(const CdxFile::Node& n, int keyLength, unsigned char fill, unsigned char* block) {
  std::memset(block, 0, kBlock);
  uint32_t maxRec = 0;
  for (const CdxKey& k : n.keys) maxRec = std::max(maxRec, k.recno);
  const LeafLayout l = LayoutFor(keyLength, maxRec);
  Put16(block, (n.root ? 1 : 0) | 2);
  Put16(block + 2, static_cast<uint32_t>(n.keys.size()));
  Put32(block + 4, n.left);
  Put32(block + 8, n.right);
  Put32(block + 14, static_cast<uint32_t>((uint64_t(1) << l.r) - 1));
  block[18] = static_cast<unsigned char>((1 << l.d) - 1);
  block[19] = static_cast<unsigned char>((1 << l.t) - 1);
  block[20] = static_cast<unsigned char>(l.r);
  block[21] = static_cast<unsigned char>(l.d);
  block[22] = static_cast<unsigned char>(l.t);
  block[23] = static_cast<unsigned char>(l.b);
  int keyEnd = kBlock;
  int used = 0;
  int prevTrail = 0;
  for (std::size_t i = 0; i < n.keys.size(); ++i) {
    const std::string& key = n.keys[i].key;
    const int t = Trail(key, fill);
    const int d = i == 0 ? 0 : Dup(n.keys[i - 1].key, prevTrail, key, t);
    const int stored = keyLength - d - t;
    const uint64_t e = n.keys[i].recno | (uint64_t(d) << l.r) | (uint64_t(t) << (l.r + l.d));
    for (int k = 0; k < l.b; ++k) block[24 + i * l.b + k] = static_cast<unsigned char>(e >> (8 * k));
    keyEnd -= stored;
    std::memcpy(block + keyEnd, key.data() + d, static_cast<std::size_t>(stored));
    used += l.b + stored;
    prevTrail = t;
  }
  Put16(block + 12, static_cast<uint32_t>(kLeafSpace - used));
}

void EncodeInterior(const CdxFile::Node& n, int keyLength, unsigned char* block) {
  std::memset(block, 0, kBlock);
  Put16(block, n.root ? 1 : 0);
  Put16(block + 2, static_cast<uint32_t>(n.keys.size()));
  Put32(block + 4, n.left);
  Put32(block + 8, n.right);
  unsigned char* p = block + 12;
  for (std::size_t i = 0; i < n.keys.size(); ++i) {
    std::memcpy(p, n.keys[i].key.data(), static_cast<std::size_t>(keyLength));
    Put32BE(p + keyLength, n.keys[i].recno);
    Put32BE(p + keyLength + 4, n.children[i]);
    p += keyLength + 8;
  }
}

bool DecodeNode(const unsigned char* block, int keyLength, unsigned char fill, uint32_t fileSize, CdxFile::Node& n) {
  const int attr = Get16(block);
  const int count = Get16(block + 2);
  n.leaf = (attr & 2) != 0;
  n.root = (attr & 1) != 0;
  n.left = Get32(block + 4);
  n.right = Get32(block + 8);
  n.keys.clear();
  n.children.clear();
  auto validLink = [&](uint32_t link) { return link == kNone || (link % kBlock == 0 && link + kBlock <= fileSize); };
  if (!validLink(n.left) || !validLink(n.right)) return false;
  if (!n.leaf) {
    if (count * (keyLength + 8) > kInteriorSpace) return false;
    const unsigned char* p = block + 12;
    for (int i = 0; i < count; ++i) {
      CdxKey k;
      k.key.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(keyLength));
      k.recno = Get32BE(p + keyLength);
      const uint32_t child = Get32BE(p + keyLength + 4);
      if (child % kBlock != 0 || child + kBlock > fileSize) return false;
      n.keys.push_back(std::move(k));
      n.children.push_back(child);
      p += keyLength + 8;
    }
    return true;
  }
  LeafLayout l;
  l.r = block[20], l.d = block[21], l.t = block[22], l.b = block[23];
  if (count > 0 && (l.b < 1 || l.b > 8 || l.r + l.d + l.t != 8 * l.b || l.r > 32 || l.d > 8 || l.t > 8)) return false;
  if (count * std::max(l.b, 1) > kLeafSpace) return false;
  int keyEnd = kBlock;
  std::string prev(static_cast<std::size_t>(keyLength), static_cast<char>(fill));
  for (int i = 0; i < count; ++i) {
    uint64_t e = 0;
    for (int k = 0; k < l.b; ++k) e |= uint64_t(block[24 + i * l.b + k]) << (8 * k);
    CdxKey k;
    k.recno = static_cast<uint32_t>(e & ((uint64_t(1) << l.r) - 1));
    const int d = static_cast<int>((e >> l.r) & ((1u << l.d) - 1));
    const int t = static_cast<int>((e >> (l.r + l.d)) & ((1u << l.t) - 1));
    const int stored = keyLength - d - t;
    if (stored < 0 || (i == 0 && d != 0)) return false;
    keyEnd -= stored;
    if (keyEnd < 24 + count * l.b) return false;
    k.key.reserve(static_cast<std::size_t>(keyLength));
    k.key.assign(prev, 0, static_cast<std::size_t>(d));
    k.key.append(reinterpret_cast<const char*>(block + keyEnd), static_cast<std::size_t>(stored));
    k.key.append(static_cast<std::size_t>(t), static_cast<char>(fill));
    prev = k.key;
    n.keys.push_back(std::move(k));
  }
  return true;
}

}  // namespace

CdxFile::CdxFile() = default;
CdxFile::~CdxFile() { Close(); }

void CdxFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  cache_.clear();
  nodeOwner_.clear();
  tags_.clear();
  tagHeaderDirty_.clear();
  dirty_ = false;
}

int CdxFile::Create(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return xbIoError;
  readOnly_ = false;
  fileSize_ = 0;
  changeCount_ = 0;
  directory_ = CdxTag{};
  directory_.keyLength = 10;
  directory_.fill = ' ';
  directory_.header = Allocate(kHeaderSize);
  auto root = std::make_unique<Node>();
  root->offset = Allocate(kBlock);
  root->root = true;
  root->dirty = true;
  directory_.root = root->offset;
  nodeOwner_[root->offset] = kDirectory;
  cache_[root->offset] = std::move(root);
  directoryHeaderDirty_ = true;
  dirty_ = true;
  return Flush();
}

int CdxFile::Open(const std::filesystem::path& path, bool readOnly) {
  Close();
  fd_ = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd_ < 0) return errno == ENOENT ? xbFileNotFound : xbIoError;
  readOnly_ = readOnly;
  const int rc = ReadHeaders();
  if (rc != xbOK) Close();
  return rc;
}

int CdxFile::ReadHeaders() {
  cache_.clear();
  nodeOwner_.clear();
  tags_.clear();
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return xbIoError;
  if (st.st_size < kHeaderSize + kBlock || st.st_size % kBlock != 0 || st.st_size > 0x7FFFFE00) return xbBadIndex;
  fileSize_ = static_cast<uint32_t>(st.st_size);
  unsigned char h[24];
  if (!FullReadAt(fd_, h, sizeof h, 0)) return xbIoError;
  if (Get32(h + 8) == kDirtyMark) return xbBadIndex;
  changeCount_ = Get32(h + 16);
  directory_ = CdxTag{};
  if (ReadTagHeader(0, directory_) != xbOK || directory_.keyLength != 10) return xbBadIndex;
  directory_.fill = ' ';
  std::vector<CdxTag> tags;
  int steps = 0;
  // Walk the directory leaves: each entry names a tag and points at its header.
  Node* n = Load(directory_, directory_.root);
  for (int depth = 0; n != nullptr && !n->leaf && depth < kMaxDepth; ++depth)
    n = n->keys.empty() ? nullptr : Load(directory_, n->children.front());
  while (n != nullptr && n->leaf) {
    for (const CdxKey& k : n->keys) {
      CdxTag t;
      if (ReadTagHeader(k.recno, t) != xbOK) return xbBadIndex;
      t.name = ToUpperAscii(TrimRight(k.key, " "));
      tags.push_back(std::move(t));
    }
    if (n->right == kNone) break;
    if (++steps > static_cast<int>(fileSize_ / kBlock)) return xbBadIndex;
    n = Load(directory_, n->right);
  }
  if (n == nullptr || !n->leaf) return xbBadIndex;
  std::sort(tags.begin(), tags.end(), [](const CdxTag& a, const CdxTag& b) { return a.header < b.header; });
  for (std::size_t i = 1; i < tags.size(); ++i)
    if (tags[i].header == tags[i - 1].header) return xbBadIndex;
  tags_ = std::move(tags);
  tagHeaderDirty_.assign(tags_.size(), false);
  return xbOK;
}

int CdxFile::ReadTagHeader(uint32_t offset, CdxTag& tag) {
  if (offset % kBlock != 0 || offset + kHeaderSize > fileSize_) return xbBadIndex;
  unsigned char h[kHeaderSize];
  if (!FullReadAt(fd_, h, sizeof h, offset)) return xbIoError;
  tag.header = offset;
  tag.root = Get32(h);
  tag.keyLength = Get16(h + 12);
  const unsigned char options = h[14];
  if (tag.root % kBlock != 0 || tag.root + kBlock > fileSize_ || tag.keyLength < 1 || tag.keyLength > 240) return xbBadIndex;
  if ((options & 0x60) != 0x60) return xbBadIndex;  // only compact compound tags
  tag.descending = Get16(h + 502) != 0;
  const uint32_t forStart = Get16(h + 504), forLength = Get16(h + 506);
  const uint32_t keyStart = Get16(h + 508), keyLength = Get16(h + 510);
  if (keyStart + keyLength > 512 || forStart + forLength > 512 || keyLength < 1 || forLength < 1) return xbBadIndex;
  const char* pool = reinterpret_cast<const char*>(h + 512);
  tag.keyExpression.assign(pool + keyStart, strnlen(pool + keyStart, keyLength));
  tag.forExpression.assign(pool + forStart, strnlen(pool + forStart, forLength));
  return xbOK;
}

int CdxFile::WriteTagHeader(const CdxTag& tag, bool directory) {
  unsigned char h[kHeaderSize] = {};
  Put32(h, tag.root);
  Put16(h + 12, static_cast<uint32_t>(tag.keyLength));
  h[15] = 0x01;
  if (directory) {
    h[14] = 0xE0;
    Put32(h + 8, dirty_ ? kDirtyMark : 0);
    Put32(h + 16, changeCount_);
    Put16(h + 504, 1);
    Put16(h + 506, 1);
    Put16(h + 510, 1);
  } else {
    h[14] = static_cast<unsigned char>(0x60 | (tag.forExpression.empty() ? 0 : 0x08));
    const auto keyLen = static_cast<uint32_t>(tag.keyExpression.size() + 1);
    const auto forLen = static_cast<uint32_t>(tag.forExpression.size() + 1);
    if (keyLen + forLen > 512) return xbBadExpression;
    Put16(h + 502, tag.descending ? 1 : 0);
    Put16(h + 504, keyLen);
    Put16(h + 506, forLen);
    Put16(h + 508, 0);
    Put16(h + 510, keyLen);
    std::memcpy(h + 512, tag.keyExpression.data(), tag.keyExpression.size());
    std::memcpy(h + 512 + keyLen, tag.forExpression.data(), tag.forExpression.size());
  }
  return FullWriteAt(fd_, h, sizeof h, tag.header) ? xbOK : xbIoError;
}

int CdxFile::FindTag(const std::string& name) const {
  for (std::size_t i = 0; i < tags_.size(); ++i)
    if (EqualsIgnoreCase(tags_[i].name, name)) return static_cast<int>(i);
  return -1;
}

uint32_t CdxFile::Allocate(uint32_t bytes) {
  const uint32_t at = fileSize_;
  fileSize_ += bytes;
  return at;
}

CdxFile::Node* CdxFile::Load(const CdxTag& tag, uint32_t offset) {
  auto it = cache_.find(offset);
  if (it != cache_.end()) return it->second.get();
  if (offset % kBlock != 0 || offset + kBlock > fileSize_) return nullptr;
  unsigned char block[kBlock];
  if (!FullReadAt(fd_, block, kBlock, offset)) return nullptr;
  auto n = std::make_unique<Node>();
  n->offset = offset;
  if (!DecodeNode(block, tag.keyLength, tag.fill, fileSize_, *n)) return nullptr;
  Node* raw = n.get();
  cache_[offset] = std::move(n);
  return raw;
}

void CdxFile::SetKeyFill(int tag, unsigned char fill) {
  if (tag < 0 || static_cast<std::size_t>(tag) >= tags_.size() || tags_[static_cast<std::size_t>(tag)].fill == fill) return;
  Flush();  // changed nodes are written with the fill they were made with
  tags_[static_cast<std::size_t>(tag)].fill = fill;
  cache_.clear();  // nodes decoded with the old fill are wrong
}

int CdxFile::MarkDirty() {
  if (readOnly_) return xbReadOnly;
  if (dirty_) return xbOK;
  dirty_ = true;
  unsigned char mark[4];
  Put32(mark, kDirtyMark);
  return FullWriteAt(fd_, mark, 4, 8) ? xbOK : xbIoError;
}

int CdxFile::Flush() {
  if (fd_ < 0) return xbNotOpen;
  if (!dirty_) return xbOK;
  // Every changed node was recorded with the tag whose key layout encodes it. They are
  // written in file order, neighbouring blocks in one write: a freshly built tag is one
  // long run of blocks, so this turns thousands of small writes into a few large ones.
  std::vector<std::pair<uint32_t, int>> changed(nodeOwner_.begin(), nodeOwner_.end());
  std::sort(changed.begin(), changed.end());
  std::vector<unsigned char> run;
  std::vector<Node*> runNodes;  // marked clean only once their bytes are written
  uint32_t runStart = 0;
  auto writeRun = [&] {
    if (!run.empty() && !FullWriteAt(fd_, run.data(), run.size(), runStart)) return false;
    for (Node* n : runNodes) n->dirty = false;
    run.clear();
    runNodes.clear();
    return true;
  };
  for (const auto& [offset, tag] : changed) {
    auto it = cache_.find(offset);
    if (it == cache_.end() || !it->second->dirty) continue;
    const bool extends = !run.empty() && runStart + run.size() == offset && run.size() < kFlushRun;
    if (!extends && !writeRun()) return xbIoError;
    if (run.empty()) runStart = offset;
    run.resize(run.size() + kBlock);
    unsigned char* block = run.data() + run.size() - kBlock;
    const CdxTag& layout = tag >= 0 ? tags_[static_cast<std::size_t>(tag)] : directory_;
    if (it->second->leaf) EncodeLeaf(*it->second, layout.keyLength, layout.fill, block);
    else EncodeInterior(*it->second, layout.keyLength, block);
    runNodes.push_back(it->second.get());
  }
  if (!writeRun()) return xbIoError;
  nodeOwner_.clear();
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    if (!tagHeaderDirty_[i]) continue;
    if (const int rc = WriteTagHeader(tags_[i], false); rc != xbOK) return rc;
    tagHeaderDirty_[i] = false;
  }
  // Blocks are whole: pad the file to its allocated size before declaring it clean.
  if (::ftruncate(fd_, fileSize_) != 0) return xbIoError;
  ++changeCount_;
  dirty_ = false;
  if (const int rc = WriteTagHeader(directory_, true); rc != xbOK) return rc;
  directoryHeaderDirty_ = false;
  return xbOK;
}

int CdxFile::Reload() {
  if (fd_ < 0) return xbNotOpen;
  std::vector<unsigned char> fills;
  for (const CdxTag& t : tags_) fills.push_back(t.fill);
  std::vector<std::string> names;
  for (const CdxTag& t : tags_) names.push_back(t.name);
  dirty_ = false;
  const int rc = ReadHeaders();
  if (rc != xbOK) return rc;
  for (std::size_t i = 0; i < tags_.size(); ++i)
    for (std::size_t j = 0; j < names.size(); ++j)
      if (tags_[i].name == names[j]) tags_[i].fill = fills[j];
  return xbOK;
}

uint32_t CdxFile::StoredChangeCount() {
  unsigned char b[4];
  if (fd_ < 0 || !FullReadAt(fd_, b, 4, 16)) return 0;
  return Get32(b);
}

CdxTag* CdxFile::TagAt(int tag) {
  if (tag == kDirectory) return &directory_;
  if (tag < 0 || static_cast<std::size_t>(tag) >= tags_.size()) return nullptr;
  return &tags_[static_cast<std::size_t>(tag)];
}

CdxFile::Node* CdxFile::NewNode(int tag, bool leaf) {
  auto n = std::make_unique<Node>();
  n->offset = Allocate(kBlock);
  n->leaf = leaf;
  n->dirty = true;
  Node* raw = n.get();
  nodeOwner_[raw->offset] = tag;
  cache_[raw->offset] = std::move(n);
  return raw;
}

void CdxFile::Touch(int tag, Node& n) {
  n.dirty = true;
  nodeOwner_[n.offset] = tag;
}

int CdxFile::Descend(int tag, const std::string& key, uint32_t recno, std::vector<PathStep>& path) {
  const CdxTag* t = TagAt(tag);
  if (t == nullptr) return xbNoSuchTag;
  path.clear();
  uint32_t at = t->root;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    Node* n = Load(*t, at);
    if (n == nullptr) return xbBadIndex;
    auto pos = std::lower_bound(n->keys.begin(), n->keys.end(), 0, [&](const CdxKey& e, int) {
      return CompareEntry(e, key, recno) < 0;
    });
    int index = static_cast<int>(pos - n->keys.begin());
    if (n->leaf) {
      path.push_back({at, index});
      return xbOK;
    }
    if (n->keys.empty()) return xbBadIndex;
    if (index == static_cast<int>(n->keys.size())) --index;
    path.push_back({at, index});
    at = n->children[static_cast<std::size_t>(index)];
  }
  return xbBadIndex;
}

bool CdxFile::Overflows(const CdxTag& t, Node& n) const {
  if (n.leaf) {
    if (n.keyBytes < 0) {
      n.keyBytes = 0;
      n.maxRecno = 0;
      for (std::size_t j = 0; j < n.keys.size(); ++j) {
        n.keyBytes += Contribution(n.keys, j, t.keyLength, t.fill);
        n.maxRecno = std::max(n.maxRecno, n.keys[j].recno);
      }
    }
    return n.keyBytes + static_cast<int>(n.keys.size()) * LayoutFor(t.keyLength, n.maxRecno).b > kLeafSpace;
  }
  return static_cast<int>(n.keys.size()) > kInteriorSpace / (t.keyLength + 8);
}

int CdxFile::Repair(int tag, std::vector<PathStep>& path) {
  CdxTag* t = TagAt(tag);
  for (std::size_t level = path.size(); level-- > 0;) {
    Node* n = Load(*t, path[level].node);
    if (n == nullptr) return xbBadIndex;
    if (Overflows(*t, *n)) {
      if (const int rc = Split(tag, path, level); rc != xbOK) return rc;
      if (level == 0) return xbOK;
      continue;
    }
    if (level == 0 || n->keys.empty()) return xbOK;
    Node* parent = Load(*t, path[level - 1].node);
    if (parent == nullptr) return xbBadIndex;
    CdxKey& separator = parent->keys[static_cast<std::size_t>(path[level - 1].index)];
    const CdxKey& last = n->keys.back();
    if (separator.key == last.key && separator.recno == last.recno) return xbOK;
    separator = last;
    Touch(tag, *parent);
  }
  return xbOK;
}

int CdxFile::Split(int tag, std::vector<PathStep>& path, std::size_t level) {
  CdxTag* t = TagAt(tag);
  Node* n = Load(*t, path[level].node);
  Node* m = NewNode(tag, n->leaf);
  n = Load(*t, path[level].node);  // the cache may have rehashed; the pointer stays valid (unique_ptr)
  const std::size_t half = n->keys.size() / 2;
  m->keys.assign(std::make_move_iterator(n->keys.begin() + static_cast<std::ptrdiff_t>(half)),
                 std::make_move_iterator(n->keys.end()));
  n->keys.resize(half);
  n->keyBytes = m->keyBytes = -1;
  if (!n->leaf) {
    m->children.assign(n->children.begin() + static_cast<std::ptrdiff_t>(half), n->children.end());
    n->children.resize(half);
  }
  m->left = n->offset;
  m->right = n->right;
  if (n->right != kNone) {
    Node* r = Load(*t, n->right);
    if (r == nullptr) return xbBadIndex;
    r->left = m->offset;
    Touch(tag, *r);
  }
  n->right = m->offset;
  Touch(tag, *n);
  if (level == 0) {
    Node* root = NewNode(tag, false);
    root->root = true;
    n->root = false;
    m->root = false;
    root->keys = {n->keys.back(), m->keys.back()};
    root->children = {n->offset, m->offset};
    t->root = root->offset;
    MarkHeaderDirty(tag);
    return xbOK;
  }
  Node* parent = Load(*t, path[level - 1].node);
  if (parent == nullptr) return xbBadIndex;
  const auto j = static_cast<std::size_t>(path[level - 1].index);
  parent->keys[j] = n->keys.back();
  parent->keys.insert(parent->keys.begin() + static_cast<std::ptrdiff_t>(j + 1), m->keys.back());
  parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(j + 1), m->offset);
  Touch(tag, *parent);
  return xbOK;
}

void CdxFile::MarkHeaderDirty(int tag) {
  if (tag == kDirectory) directoryHeaderDirty_ = true;
  else tagHeaderDirty_[static_cast<std::size_t>(tag)] = true;
}

// The way down to where (key, recno) stands or would stand, for a change to the tag.
int CdxFile::PathForChange(int tag, const std::string& key, uint32_t recno, std::vector<PathStep>& path) {
  const CdxTag* t = TagAt(tag);
  if (t == nullptr) return xbNoSuchTag;
  if (key.size() != static_cast<std::size_t>(t->keyLength)) return xbBadArgument;
  if (const int rc = MarkDirty(); rc != xbOK) return rc;
  return Descend(tag, key, recno, path);
}

int CdxFile::Insert(int tag, const std::string& key, uint32_t recno) {
  std::vector<PathStep> path;
  if (const int rc = PathForChange(tag, key, recno, path); rc != xbOK) return rc;
  const CdxTag* t = TagAt(tag);
  Node* leaf = Load(*t, path.back().node);
  const auto at = static_cast<std::size_t>(path.back().index);
  if (at < leaf->keys.size() && CompareEntry(leaf->keys[at], key, recno) == 0) return xbOK;  // already there
  const bool counted = leaf->keyBytes >= 0;
  if (counted && at < leaf->keys.size()) leaf->keyBytes -= Contribution(leaf->keys, at, t->keyLength, t->fill);
  leaf->keys.insert(leaf->keys.begin() + static_cast<std::ptrdiff_t>(at), CdxKey{key, recno});
  if (counted) {
    leaf->keyBytes += Contribution(leaf->keys, at, t->keyLength, t->fill);
    if (at + 1 < leaf->keys.size()) leaf->keyBytes += Contribution(leaf->keys, at + 1, t->keyLength, t->fill);
    leaf->maxRecno = std::max(leaf->maxRecno, recno);
  }
  Touch(tag, *leaf);
  return Repair(tag, path);
}

int CdxFile::Remove(int tag, const std::string& key, uint32_t recno) {
  std::vector<PathStep> path;
  if (const int rc = PathForChange(tag, key, recno, path); rc != xbOK) return rc;
  const CdxTag* t = TagAt(tag);
  Node* leaf = Load(*t, path.back().node);
  const auto at = static_cast<std::size_t>(path.back().index);
  if (at >= leaf->keys.size() || CompareEntry(leaf->keys[at], key, recno) != 0) return xbOK;  // not in the tag
  if (leaf->keyBytes >= 0) {
    leaf->keyBytes -= Contribution(leaf->keys, at, t->keyLength, t->fill);
    if (at + 1 < leaf->keys.size()) leaf->keyBytes -= Contribution(leaf->keys, at + 1, t->keyLength, t->fill);
  }
  leaf->keys.erase(leaf->keys.begin() + static_cast<std::ptrdiff_t>(at));
  if (leaf->keyBytes >= 0) {
    if (at < leaf->keys.size()) leaf->keyBytes += Contribution(leaf->keys, at, t->keyLength, t->fill);
    if (recno == leaf->maxRecno) {
      leaf->maxRecno = 0;
      for (const CdxKey& k : leaf->keys) leaf->maxRecno = std::max(leaf->maxRecno, k.recno);
    }
  }
  Touch(tag, *leaf);
  // Emptied nodes leave the tree, bottom up; the root stays (an empty root becomes a leaf).
  std::size_t level = path.size() - 1;
  for (;;) {
    Node* n = Load(*t, path[level].node);
    if (!n->keys.empty()) break;
    if (level == 0) {
      n->leaf = true;
      n->children.clear();
      Touch(tag, *n);
      return xbOK;
    }
    if (n->left != kNone) {
      Node* l = Load(*t, n->left);
      if (l == nullptr) return xbBadIndex;
      l->right = n->right;
      Touch(tag, *l);
    }
    if (n->right != kNone) {
      Node* r = Load(*t, n->right);
      if (r == nullptr) return xbBadIndex;
      r->left = n->left;
      Touch(tag, *r);
    }
    Node* parent = Load(*t, path[level - 1].node);
    const auto j = static_cast<std::ptrdiff_t>(path[level - 1].index);
    parent->keys.erase(parent->keys.begin() + j);
    parent->children.erase(parent->children.begin() + j);
    Touch(tag, *parent);
    --level;
  }
  path.resize(level + 1);
  return Repair(tag, path);
}

int CdxFile::AddTag(CdxTag tag, std::vector<CdxKey> sortedKeys, const Progress& progress) {
  if (fd_ < 0) return xbNotOpen;
  if (readOnly_) return xbReadOnly;
  tag.name = ToUpperAscii(tag.name);
  if (tag.name.empty() || tag.name.size() > 10 || FindTag(tag.name) >= 0) return xbBadArgument;
  if (tag.keyLength < 1 || tag.keyLength > 240) return xbKeyTooLong;
  if (tag.keyExpression.size() + tag.forExpression.size() + 2 > 512) return xbBadExpression;
  if (const int rc = MarkDirty(); rc != xbOK) return rc;
  tag.header = Allocate(kHeaderSize);
  tags_.push_back(tag);
  tagHeaderDirty_.push_back(true);
  const int index = static_cast<int>(tags_.size()) - 1;
  if (const int rc = BuildTree(index, std::move(sortedKeys), progress); rc != xbOK) return rc;
  std::string dirKey = tag.name;
  dirKey.resize(10, ' ');
  if (const int rc = Insert(kDirectory, dirKey, tag.header); rc != xbOK) return rc;
  return Flush();
}

int CdxFile::BuildTree(int tag, std::vector<CdxKey> keys, const Progress& progress) {
  CdxTag& t = tags_[static_cast<std::size_t>(tag)];
  // Leaves, filled greedily in key order.
  std::vector<Node*> level;
  Node* leaf = NewNode(tag, true);
  level.push_back(leaf);
  int bytes = 0;
  int prevTrail = 0;
  uint32_t maxRec = 0;
  const std::size_t step = std::max<std::size_t>(1, keys.size() / 100);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    CdxKey& k = keys[i];
    if (k.key.size() != static_cast<std::size_t>(t.keyLength)) return xbBadArgument;
    const int trail = Trail(k.key, t.fill);
    int dup = leaf->keys.empty() ? 0 : Dup(leaf->keys.back().key, prevTrail, k.key, trail);
    const uint32_t rec = std::max(maxRec, k.recno);
    int size = bytes + t.keyLength - dup - trail +
               static_cast<int>(leaf->keys.size() + 1) * LayoutFor(t.keyLength, rec).b;
    if (size > kLeafSpace && !leaf->keys.empty()) {
      leaf = NewNode(tag, true);
      level.back()->right = leaf->offset;
      leaf->left = level.back()->offset;
      level.push_back(leaf);
      bytes = 0, maxRec = 0, dup = 0;
    }
    bytes += t.keyLength - dup - trail;
    maxRec = std::max(maxRec, k.recno);
    prevTrail = trail;
    leaf->keys.push_back(std::move(k));
    if (progress && i % step == 0) progress(i, keys.size());
  }
  // Interior levels until one node is left.
  const std::size_t capacity = static_cast<std::size_t>(kInteriorSpace / (t.keyLength + 8));
  while (level.size() > 1) {
    std::vector<Node*> upper;
    for (std::size_t i = 0; i < level.size(); i += capacity) {
      Node* n = NewNode(tag, false);
      if (!upper.empty()) {
        upper.back()->right = n->offset;
        n->left = upper.back()->offset;
      }
      for (std::size_t j = i; j < std::min(level.size(), i + capacity); ++j) {
        n->keys.push_back(level[j]->keys.back());
        n->children.push_back(level[j]->offset);
      }
      upper.push_back(n);
    }
    level = std::move(upper);
  }
  level.front()->root = true;
  t.root = level.front()->offset;
  if (progress) progress(keys.size(), keys.size());
  return xbOK;
}

int CdxFile::First(int tag, CdxCursor& c) { return Edge(tag, c, true); }
int CdxFile::Last(int tag, CdxCursor& c) { return Edge(tag, c, false); }

// Down the first (or last) child of every level to the first (or last) entry.
int CdxFile::Edge(int tag, CdxCursor& c, bool first) {
  const CdxTag* t = TagAt(tag);
  if (t == nullptr) return xbNoSuchTag;
  uint32_t at = t->root;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    Node* n = Load(*t, at);
    if (n == nullptr) return xbBadIndex;
    if (n->leaf) {
      c = {at, first ? 0 : static_cast<int>(n->keys.size()) - 1, tag};
      return Settle(c, first);
    }
    if (n->keys.empty()) return xbBadIndex;
    at = first ? n->children.front() : n->children.back();
  }
  return xbBadIndex;
}

// Moves a cursor whose index ran off its leaf to the neighbouring leaf (skipping empty
// ones), or makes it invalid at either end.
int CdxFile::Settle(CdxCursor& c, bool forward) {
  const CdxTag* t = TagAt(c.tag);
  if (t == nullptr) return xbNoSuchTag;
  const uint32_t limit = fileSize_ / kBlock + 1;
  for (uint32_t steps = 0; c.leaf != 0 && steps < limit; ++steps) {
    Node* n = Load(*t, c.leaf);
    if (n == nullptr || !n->leaf) return xbBadIndex;
    if (c.index >= 0 && c.index < static_cast<int>(n->keys.size())) return xbOK;
    const uint32_t next = forward ? n->right : n->left;
    if (next == kNone) {
      c.leaf = 0;
      return xbOK;
    }
    c.leaf = next;
    if (forward) {
      c.index = 0;
    } else {
      Node* p = Load(*t, next);
      if (p == nullptr) return xbBadIndex;
      c.index = static_cast<int>(p->keys.size()) - 1;
    }
  }
  return c.leaf == 0 ? xbOK : xbBadIndex;
}

int CdxFile::Next(CdxCursor& c) {
  if (!c.Valid()) return xbOK;
  ++c.index;
  return Settle(c, true);
}

int CdxFile::Prev(CdxCursor& c) {
  if (!c.Valid()) return xbOK;
  --c.index;
  return Settle(c, false);
}

int CdxFile::LowerBound(int tag, const std::string& key, uint32_t recno, CdxCursor& c) {
  std::vector<PathStep> path;
  if (const int rc = Descend(tag, key, recno, path); rc != xbOK) return rc;
  c = {path.back().node, path.back().index, tag};
  return Settle(c, true);
}

int CdxFile::Read(const CdxCursor& c, CdxKey& out) {
  const CdxTag* t = TagAt(c.tag);
  if (t == nullptr || !c.Valid()) return xbBadArgument;
  Node* n = Load(*t, c.leaf);
  if (n == nullptr || !n->leaf || c.index < 0 || c.index >= static_cast<int>(n->keys.size())) return xbBadIndex;
  out = n->keys[static_cast<std::size_t>(c.index)];
  return xbOK;
}

}  // namespace ql::xb
