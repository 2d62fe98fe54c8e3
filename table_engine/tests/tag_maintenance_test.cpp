// Tags stay in step with the rows through many appends, key changes, deletions and
// recalls: every order the table walks equals the order computed from the rows themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "table_engine/key_encoding.h"
#include "table_engine/table.h"
#include "table_engine/table_errors.h"
#include "tests/support/temp_dir.h"

namespace ql::xb {
namespace {

using ql::testing::TempDir;

struct Model {
  std::string name;
  int n = 0;
  std::string date;  // YYYYMMDD or ""
  bool deleted = false;
};

std::vector<uint32_t> Walk(Table& t, bool backward) {
  std::vector<uint32_t> out;
  if (backward) {
    for (t.GoBottom(); !t.Eof() && !t.Bof(); t.Skip(-1)) out.push_back(t.RecNo());
    std::reverse(out.begin(), out.end());
  } else {
    for (t.GoTop(); !t.Eof(); t.Skip()) out.push_back(t.RecNo());
  }
  return out;
}

TEST(TagMaintenance, OrdersMatchTheRowsAfterRandomChanges) {
  TempDir dir;
  const auto path = dir / "M.DBF";
  ASSERT_EQ(Table::Create(path, {{"NAME", 'C', 20, 0}, {"N", 'N', 6, 0}, {"WHEN", 'D', 8, 0}}), xbOK);
  Table t;
  ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
  t.SetHideDeleted(true);
  ASSERT_EQ(t.IndexTag({"NAME", "UPPER(NAME)", ".NOT. DELETED()", false}), xbOK);
  ASSERT_EQ(t.IndexTag({"N", "N", "", true}), xbOK);
  ASSERT_EQ(t.IndexTag({"WHEN", "DTOS(WHEN)+NAME", ".not. deleted()", true}), xbOK);
  std::mt19937 rng(11);
  std::map<uint32_t, Model> rows;
  auto randomName = [&] { return std::string(1, static_cast<char>('a' + rng() % 26)) + std::to_string(rng() % 500); };
  auto randomDate = [&] {
    return rng() % 4 == 0 ? std::string() : std::to_string(2020 + rng() % 5) + "0" + std::to_string(1 + rng() % 9) + "15";
  };
  for (int step = 0; step < 3000; ++step) {
    const unsigned op = rng() % 10;
    if (op < 5 || rows.empty()) {
      Model m{randomName(), static_cast<int>(rng() % 2000) - 1000, randomDate(), false};
      ASSERT_EQ(t.AppendBlank(), xbOK);
      ASSERT_EQ(t.Replace("NAME", m.name), xbOK);
      ASSERT_EQ(t.Replace("N", std::to_string(m.n)), xbOK);
      ASSERT_EQ(t.Replace("WHEN", m.date), xbOK);
      rows[t.RecNo()] = m;
    } else {
      const uint32_t recno = 1 + rng() % t.RecCount();
      ASSERT_EQ(t.Go(recno), xbOK);
      Model& m = rows[recno];
      if (op < 7) {
        m.name = randomName();
        ASSERT_EQ(t.Replace("NAME", m.name), xbOK);
      } else if (op < 8) {
        m.n = static_cast<int>(rng() % 2000) - 1000;
        ASSERT_EQ(t.Replace("N", std::to_string(m.n)), xbOK);
      } else {
        m.deleted = !m.deleted;
        ASSERT_EQ(m.deleted ? t.Delete() : t.Recall(), xbOK);
      }
    }
  }
  ASSERT_EQ(t.Commit(), xbOK);

  auto expected = [&](auto less) {
    std::vector<uint32_t> out;
    for (const auto& [recno, m] : rows)
      if (!m.deleted) out.push_back(recno);
    std::stable_sort(out.begin(), out.end(), [&](uint32_t a, uint32_t b) { return less(rows[a], a, rows[b], b); });
    return out;
  };
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    s.resize(20, ' ');
    return s;
  };
  const auto byName = expected([&](const Model& a, uint32_t ra, const Model& b, uint32_t rb) {
    return upper(a.name) != upper(b.name) ? upper(a.name) < upper(b.name) : ra < rb;
  });
  const auto byNumberDesc = expected([&](const Model& a, uint32_t ra, const Model& b, uint32_t rb) {
    return a.n != b.n ? a.n > b.n : ra > rb;
  });
  auto dateKey = [](const Model& m) {
    std::string d = m.date.empty() ? std::string(8, ' ') : m.date;
    std::string n = m.name;
    n.resize(20, ' ');
    return d + n;
  };
  const auto byDateDesc = expected([&](const Model& a, uint32_t ra, const Model& b, uint32_t rb) {
    return dateKey(a) != dateKey(b) ? dateKey(a) > dateKey(b) : ra > rb;
  });
  for (int pass = 0; pass < 2; ++pass) {
    t.SetOrder(1);
    EXPECT_EQ(Walk(t, false), byName);
    EXPECT_EQ(Walk(t, true), byName);
    t.SetOrder(2);
    EXPECT_EQ(Walk(t, false), byNumberDesc);
    EXPECT_EQ(Walk(t, true), byNumberDesc);
    t.SetOrder(3);
    EXPECT_EQ(Walk(t, false), byDateDesc);
    // The same orders from the file as written, and after a reindex.
    ASSERT_EQ(t.Close(), xbOK);
    ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
    t.SetHideDeleted(true);
    if (pass == 0) {
      ASSERT_EQ(t.Reindex(), xbOK);
    }
  }
}

TEST(KeyEncoding, NumbersAndDatesSortAsValues) {
  const double numbers[] = {-1e9, -1000.5, -1.5, -0.0, 0.0, 0.25, 1, 22, 100, 1e12};
  for (std::size_t i = 1; i < std::size(numbers); ++i)
    EXPECT_LE(SortableDouble(numbers[i - 1]), SortableDouble(numbers[i])) << numbers[i];
  EXPECT_EQ(SortableDouble(-0.0), SortableDouble(0.0));
  EXPECT_EQ(SortableDouble(1), std::string("\xBF\xF0\0\0\0\0\0\0", 8));
  EXPECT_EQ(SortableDouble(-1.5), std::string("\x40\x07\xFF\xFF\xFF\xFF\xFF\xFF", 8));
  EXPECT_EQ(JulianDay("19960704"), 2450269);
  EXPECT_EQ(JulianDay("20000101"), 2451545);
  EXPECT_EQ(JulianDay("        "), 0);
  EXPECT_EQ(JulianDay("20001301"), 0);
  Value blank{ValueType::Date, "        ", 0, false}, later{ValueType::Date, "20240101", 0, false};
  EXPECT_LT(EncodeKey(blank, 8), EncodeKey(later, 8));
  EXPECT_EQ(EncodeKey(Value{ValueType::Logical, "", 0, true}, 1), "T");
}

}  // namespace
}  // namespace ql::xb
