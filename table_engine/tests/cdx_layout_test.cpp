// The index file layout, byte by byte, on the worked example of the format notes, and
// trees large enough to split into several levels.

#include <gtest/gtest.h>

#include <random>

#include "table_engine/cdx_file.h"
#include "table_engine/table.h"
#include "table_engine/table_errors.h"
#include "tests/support/temp_dir.h"

namespace ql::xb {
namespace {

using ql::testing::TempDir;

std::string Hex(const std::string& bytes, std::size_t at, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = at; i < at + n && i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(bytes[i]));
    out += buf;
  }
  return out;
}

TEST(CdxLayout, WorkedExampleMatchesByteForByte) {
  TempDir dir;
  const auto path = dir / "FAX.DBF";
  ASSERT_EQ(Table::Create(path, {{"SUBJECT", 'C', 10, 0}, {"DATESENT", 'D', 8, 0}}), xbOK);
  Table t;
  ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
  const char* rows[][2] = {{"SMITH", "20240115"}, {"JONES", "20231201"}, {"SMITHERS", "20240301"}};
  for (auto& r : rows) {
    ASSERT_EQ(t.AppendBlank(), xbOK);
    ASSERT_EQ(t.Replace("SUBJECT", r[0]), xbOK);
    ASSERT_EQ(t.Replace("DATESENT", r[1]), xbOK);
  }
  ASSERT_EQ(t.Delete(), xbOK);
  ASSERT_EQ(t.IndexTag({"SUBJECT", "UPPER(SUBJECT)", "", false}), xbOK);
  ASSERT_EQ(t.IndexTag({"DATESENT", "DTOS(DATESENT)", ".NOT.DELETED()", true}), xbOK);
  ASSERT_EQ(t.Close(), xbOK);

  const std::string dbf = ql::testing::ReadFile(path);
  EXPECT_EQ(Hex(dbf, 0, 1), "03");
  EXPECT_EQ(Hex(dbf, 4, 8), "0300000061001300");
  EXPECT_EQ(Hex(dbf, 28, 2), "0103");  // structural index flag, code page 1252
  EXPECT_EQ(dbf.size(), 97u + 3 * 19 + 1);

  const std::string cdx = ql::testing::ReadFile(dir / "FAX.CDX");
  ASSERT_EQ(cdx.size(), 4608u);
  std::string expected(4608, '\0');
  auto put = [&](std::size_t at, const std::string& hex) {
    for (std::size_t i = 0; i < hex.size(); i += 2) expected[at + i / 2] = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  };
  auto text = [&](std::size_t at, const std::string& s) { expected.replace(at, s.size(), s); };
  put(0x0000, "000400000000000000000000" "0A00E001");
  put(0x0000 + 502, "000001000100000001");
  put(0x0400, "03000200FFFFFFFFFFFFFFFFD301FFFF00000F0F10040403");
  put(0x0400 + 24, "000C20000630");
  text(0x0400 + 497, "SUBJECTDATESENT");
  put(0x0600, "000A00000000000000000000" "0A006001");
  put(0x0600 + 502, "00000F00010000000F00");
  text(0x0600 + 512, "UPPER(SUBJECT)");
  put(0x0A00, "03000300FFFFFFFFFFFFFFFFD501FF0000000F0F08040402");
  put(0x0A00 + 24, "025001500325");
  text(0x0A00 + 499, "ERSSMITHJONES");
  put(0x0C00, "00100000000000000000000008006801");
  put(0x0C00 + 502, "01000F000F0000000F00");
  text(0x0C00 + 512, "DTOS(DATESENT)");
  text(0x0C00 + 512 + 15, ".NOT.DELETED()");
  put(0x1000, "03000200FFFFFFFFFFFFFFFFD701FF0000000F0F08040402");
  put(0x1000 + 24, "02000103");
  text(0x1000 + 499, "4011520231201");
  // Bytes 16..19 of the directory header hold this engine's change counter.
  for (std::size_t i = 16; i < 20; ++i) expected[i] = cdx[i];
  for (std::size_t at = 0; at < cdx.size(); at += 16)
    ASSERT_EQ(Hex(cdx, at, 16), Hex(expected, at, 16)) << "at offset " << at;

  ASSERT_EQ(t.Open(path, OpenMode::Shared), xbOK);
  ASSERT_EQ(t.SetOrder(t.TagArea("subject")), xbOK);
  std::vector<uint32_t> order;
  for (t.GoTop(); !t.Eof(); t.Skip()) order.push_back(t.RecNo());
  EXPECT_EQ(order, (std::vector<uint32_t>{2, 1, 3}));
  ASSERT_EQ(t.SetOrder(t.TagArea("DATESENT")), xbOK);
  order.clear();
  for (t.GoTop(); !t.Eof(); t.Skip()) order.push_back(t.RecNo());
  EXPECT_EQ(order, (std::vector<uint32_t>{1, 2}));
}

// Inserting and removing many keys in random order keeps the tree in key order, across
// leaf and interior splits and emptied nodes, and a reopened file reads the same.
TEST(CdxLayout, RandomInsertsAndRemovesKeepOrder) {
  TempDir dir;
  const auto path = dir / "T.CDX";
  CdxFile cdx;
  ASSERT_EQ(cdx.Create(path), xbOK);
  CdxTag tag;
  tag.name = "K";
  tag.keyExpression = "K";
  tag.keyLength = 12;
  ASSERT_EQ(cdx.AddTag(tag, {}), xbOK);
  std::mt19937 rng(7);
  std::vector<CdxKey> keys;
  for (uint32_t i = 1; i <= 6000; ++i) {
    std::string k = std::to_string(rng() % 5000);
    k.resize(12, ' ');
    keys.push_back({k, i});
  }
  for (const CdxKey& k : keys) ASSERT_EQ(cdx.Insert(0, k.key, k.recno), xbOK);
  for (std::size_t i = 0; i < keys.size(); i += 3) ASSERT_EQ(cdx.Remove(0, keys[i].key, keys[i].recno), xbOK);
  ASSERT_EQ(cdx.Flush(), xbOK);
  cdx.Close();
  ASSERT_EQ(cdx.Open(path, false), xbOK);
  std::vector<CdxKey> expected;
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (i % 3 != 0) expected.push_back(keys[i]);
  std::sort(expected.begin(), expected.end(),
            [](const CdxKey& a, const CdxKey& b) { return a.key != b.key ? a.key < b.key : a.recno < b.recno; });
  std::vector<CdxKey> got;
  CdxCursor c;
  ASSERT_EQ(cdx.First(0, c), xbOK);
  for (CdxKey k; c.Valid(); cdx.Next(c)) {
    ASSERT_EQ(cdx.Read(c, k), xbOK);
    got.push_back(k);
  }
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].key, expected[i].key) << i;
    ASSERT_EQ(got[i].recno, expected[i].recno) << i;
  }
  // Backward walk and a prefix seek agree.
  std::size_t n = 0;
  for (cdx.Last(0, c); c.Valid(); cdx.Prev(c)) ++n;
  EXPECT_EQ(n, expected.size());
  ASSERT_EQ(cdx.LowerBound(0, expected[100].key.substr(0, 3), 0, c), xbOK);
  CdxKey k;
  ASSERT_EQ(cdx.Read(c, k), xbOK);
  EXPECT_EQ(k.key.substr(0, 3), expected[100].key.substr(0, 3));

  // Emptying whole leaves and interior nodes, then the whole tree, and growing it again.
  auto walk = [&] {
    std::vector<uint32_t> recs;
    for (cdx.First(0, c); c.Valid(); cdx.Next(c)) {
      cdx.Read(c, k);
      recs.push_back(k.recno);
    }
    return recs;
  };
  const std::size_t cut = expected.size() * 7 / 10;
  for (std::size_t i = 0; i < cut; ++i) ASSERT_EQ(cdx.Remove(0, expected[i].key, expected[i].recno), xbOK);
  std::vector<uint32_t> rest;
  for (std::size_t i = cut; i < expected.size(); ++i) rest.push_back(expected[i].recno);
  EXPECT_EQ(walk(), rest);
  for (std::size_t i = cut; i < expected.size(); ++i) ASSERT_EQ(cdx.Remove(0, expected[i].key, expected[i].recno), xbOK);
  EXPECT_TRUE(walk().empty());
  ASSERT_EQ(cdx.Last(0, c), xbOK);
  EXPECT_FALSE(c.Valid());
  for (uint32_t i = 1; i <= 500; ++i) ASSERT_EQ(cdx.Insert(0, std::string(12, static_cast<char>('a' + i % 26)), i), xbOK);
  ASSERT_EQ(cdx.Flush(), xbOK);
  cdx.Close();
  ASSERT_EQ(cdx.Open(path, true), xbOK);
  EXPECT_EQ(walk().size(), 500u);
}

TEST(CdxLayout, GarbageAndUnfinishedFilesAreRejected) {
  TempDir dir;
  CdxFile cdx;
  ql::testing::WriteFile(dir / "G.CDX", std::string(4096, '\x5A'));
  EXPECT_EQ(cdx.Open(dir / "G.CDX", true), xbBadIndex);
  ql::testing::WriteFile(dir / "S.CDX", std::string(100, '\0'));
  EXPECT_EQ(cdx.Open(dir / "S.CDX", true), xbBadIndex);
  // A file left with changes in flight carries the mark and counts as damaged.
  ASSERT_EQ(cdx.Create(dir / "D.CDX"), xbOK);
  CdxTag tag;
  tag.name = "A";
  tag.keyExpression = "A";
  tag.keyLength = 4;
  ASSERT_EQ(cdx.AddTag(tag, {}), xbOK);
  ASSERT_EQ(cdx.Insert(0, "abcd", 1), xbOK);
  cdx.Close();  // closed without Flush, as a killed process would leave it
  EXPECT_EQ(cdx.Open(dir / "D.CDX", true), xbBadIndex);
}

}  // namespace
}  // namespace ql::xb
