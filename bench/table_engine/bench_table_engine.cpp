// 100,000 outgoing faxes through the table engine and through SQLite, side by side:
//   append     - rows appended with all five tags kept (SQLite: one transaction, five indexes)
//   scan       - open, filter ".not. archived", read every row in DATESENT order
//   seek       - 10,000 seeks on SUBJECT
//   pack       - delete every tenth row, then pack (SQLite: delete, then VACUUM)
// and, on its own, opening the table and reading its first screen of 40 rows in order.
//
//   bench_table_engine [ROWS] [FOLDER]

#include <sqlite3.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/fax_store/fax_store.h"
#include "platform/text.h"
#include "table_engine/table_errors.h"

namespace {

using Clock = std::chrono::steady_clock;
using ql::xb::TTableEngine;

// Process CPU time as well as wall time: on a busy machine the CPU figures compare fairer.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Stamp {
  Clock::time_point wall = Clock::now();
  double cpu = CpuMs();
};

struct Span {
  double wall = 0, cpu = 0;
};

Span Since(const Stamp& s) {
  return {std::chrono::duration<double, std::milli>(Clock::now() - s.wall).count(), CpuMs() - s.cpu};
}

struct Row {
  std::string subject, date, time, recipient, phone, codes;
  bool archived;
};

std::vector<Row> MakeRows(int n) {
  std::mt19937 engine(42);
  auto rng = [&engine] { return static_cast<unsigned>(engine()); };
  const char* words[] = {"Invoice", "Quote", "Report", "order", "Contract", "memo", "Update", "Plan", "draft", "Notice"};
  std::vector<Row> rows;
  rows.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    Row r;
    r.subject = std::string(words[rng() % 10]) + " " + std::to_string(rng() % 100000) + " " + words[rng() % 10];
    const bool sent = rng() % 5 != 0;
    if (sent) {
      char d[9], t[6];
      std::snprintf(d, sizeof d, "%04u%02u%02u", 2018 + rng() % 7, 1 + rng() % 12, 1 + rng() % 28);
      std::snprintf(t, sizeof t, "%02u:%02u", rng() % 24, rng() % 60);
      r.date = d, r.time = t;
    }
    r.recipient = std::string("Customer ") + std::to_string(rng() % 5000);
    r.phone = "555-" + std::to_string(1000 + rng() % 9000);
    r.codes = std::to_string(rng() % 300);
    r.codes.insert(r.codes.begin(), 'C');
    r.archived = rng() % 10 == 0;
    rows.push_back(std::move(r));
  }
  return rows;
}

void Check(int rc, const char* what) {
  if (rc < 0) {
    std::fprintf(stderr, "%s failed: %s\n", what, ql::xb::TableErrorText(rc).c_str());
    std::exit(1);
  }
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", err);
    std::exit(1);
  }
}

struct Times {
  Span append, scan, seek, pack;
  long scanned = 0, found = 0;
};

Times RunEngine(const std::vector<Row>& rows, const std::filesystem::path& folder, const std::vector<std::string>& keys) {
  Times t;
  TTableEngine out;
  Stamp start;
  if (!ql::OpenFaxDBF(out, ql::kArchiveFilter, folder)) std::exit(1);
  for (const Row& r : rows) {
    Check(out.AppendBlank(), "append");
    Check(out.Replace("SUBJECT", r.subject), "replace");
    Check(out.Replace("DATESENT", r.date), "replace");
    Check(out.Replace("TIMESENT", r.time), "replace");
    Check(out.Replace("RECIPIENT", r.recipient), "replace");
    Check(out.Replace("PHONE", r.phone), "replace");
    Check(out.Replace("CODES", r.codes), "replace");
    Check(out.Replace("ARCHIVED", r.archived ? "T" : "F"), "replace");
  }
  Check(out.Commit(), "commit");
  out.Close();
  t.append = Since(start);

  start = Stamp();
  if (!ql::OpenFaxDBF(out, ql::kArchiveFilter, folder)) std::exit(1);
  Check(out.SetOrder(out.TagArea("DATESENT")), "order");
  std::string s;
  for (Check(out.GoTop(), "top"); !out.Eof(); Check(out.Skip(), "skip")) {
    out.GetString("SUBJECT", s);
    ++t.scanned;
  }
  t.scan = Since(start);

  start = Stamp();
  Check(out.SetOrder(out.TagArea("SUBJECT")), "order");
  for (const std::string& k : keys) t.found += out.Seek(k) == 1;
  t.seek = Since(start);

  start = Stamp();
  Check(out.Query(""), "query");
  for (uint32_t r = 10; r <= out.RecCount(); r += 10) {
    Check(out.Go(r), "go");
    Check(out.Delete(), "delete");
  }
  const Span marking = Since(start);
  Check(out.Pack(), "pack");
  std::printf("engine: marking deletions %.1f ms cpu, of the pack step's total\n", marking.cpu);
  out.Close();
  t.pack = Since(start);
  return t;
}

Times RunSqlite(const std::vector<Row>& rows, const std::filesystem::path& file, const std::vector<std::string>& keys) {
  Times t;
  sqlite3* db = nullptr;
  Stamp start;
  sqlite3_open(file.c_str(), &db);
  Exec(db,
       "CREATE TABLE qlout(subject TEXT, datesent TEXT, timesent TEXT, recipient TEXT, phone TEXT, lastresult TEXT,"
       " faxdoc TEXT, faxcover TEXT, notes TEXT, codes TEXT, archived INTEGER, deleted INTEGER DEFAULT 0);"
       "CREATE INDEX i_datesent ON qlout(datesent || timesent DESC) WHERE deleted = 0;"
       "CREATE INDEX i_subject ON qlout(upper(subject)) WHERE deleted = 0;"
       "CREATE INDEX i_recipient ON qlout(upper(recipient)) WHERE deleted = 0;"
       "CREATE INDEX i_codes ON qlout(upper(codes)) WHERE deleted = 0;"
       "CREATE INDEX i_archived ON qlout(archived) WHERE deleted = 0;");
  Exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO qlout(subject, datesent, timesent, recipient, phone, codes, archived)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?)",
                     -1, &ins, nullptr);
  for (const Row& r : rows) {
    sqlite3_bind_text(ins, 1, r.subject.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 2, r.date.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 3, r.time.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 4, r.recipient.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 5, r.phone.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 6, r.codes.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(ins, 7, r.archived);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec(db, "COMMIT");
  sqlite3_close(db);
  t.append = Since(start);

  start = Stamp();
  sqlite3_open(file.c_str(), &db);
  sqlite3_stmt* scan = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT subject FROM qlout INDEXED BY i_datesent WHERE deleted = 0 AND archived = 0"
                     " ORDER BY datesent || timesent DESC",
                     -1, &scan, nullptr);
  while (sqlite3_step(scan) == SQLITE_ROW) {
    const std::string s(reinterpret_cast<const char*>(sqlite3_column_text(scan, 0)));
    ++t.scanned;
  }
  sqlite3_finalize(scan);
  t.scan = Since(start);

  start = Stamp();
  sqlite3_stmt* seek = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT rowid FROM qlout WHERE deleted = 0 AND upper(subject) >= ?1 AND upper(subject) < ?1 || char(255)"
                     " ORDER BY upper(subject) LIMIT 1",
                     -1, &seek, nullptr);
  for (const std::string& k : keys) {
    sqlite3_bind_text(seek, 1, k.c_str(), -1, SQLITE_STATIC);
    t.found += sqlite3_step(seek) == SQLITE_ROW;
    sqlite3_reset(seek);
  }
  sqlite3_finalize(seek);
  t.seek = Since(start);

  start = Stamp();
  Exec(db, "UPDATE qlout SET deleted = 1 WHERE rowid % 10 = 0");
  Exec(db, "DELETE FROM qlout WHERE deleted = 1");
  Exec(db, "VACUUM");
  sqlite3_close(db);
  t.pack = Since(start);
  return t;
}

double FirstScreen(const std::filesystem::path& folder) {
  const Stamp start;
  TTableEngine out;
  if (!ql::OpenFaxDBF(out, ql::kArchiveFilter, folder)) std::exit(1);
  Check(out.SetOrder(out.TagArea("DATESENT")), "order");
  std::vector<std::string> values;
  int shown = 0;
  for (Check(out.GoTop(), "top"); !out.Eof() && shown < 40; Check(out.Skip(), "skip"), ++shown) out.GetRecord(values);
  return Since(start).wall;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path() / "ql-bench-tables";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ql::StartTableSession();
  const std::vector<Row> rows = MakeRows(n);
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < 10000; ++i) {
    keys.push_back(ql::ToUpperAscii(rows[(i * 7919) % rows.size()].subject.substr(0, 12)));
  }
  const Times e = RunEngine(rows, folder, keys);
  const Times q = RunSqlite(rows, folder / "bench.sqlite", keys);
  // The first-screen figure is taken on a table of n rows after the pack, so fill again.
  std::filesystem::remove(folder / "QLOUT.DBF");
  std::filesystem::remove(folder / "QLOUT.CDX");
  {
    TTableEngine out;
    ql::OpenFaxDBF(out, ql::kArchiveFilter, folder);
    for (const Row& r : rows) {
      out.AppendBlank();
      out.Replace("SUBJECT", r.subject);
      out.Replace("DATESENT", r.date);
      out.Replace("TIMESENT", r.time);
    }
  }
  const double screen = FirstScreen(folder);
  std::printf("%-8s %12s %12s %8s %12s %12s %8s\n", "step", "engine ms", "sqlite ms", "ratio", "engine cpu",
              "sqlite cpu", "ratio");
  auto line = [](const char* name, Span a, Span b) {
    std::printf("%-8s %12.1f %12.1f %8.2f %12.1f %12.1f %8.2f\n", name, a.wall, b.wall, a.wall / b.wall, a.cpu, b.cpu,
                a.cpu / b.cpu);
  };
  line("append", e.append, q.append);
  line("scan", e.scan, q.scan);
  line("seek", e.seek, q.seek);
  line("pack", e.pack, q.pack);
  std::printf("rows scanned: engine %ld, sqlite %ld; seeks found: engine %ld, sqlite %ld\n", e.scanned, q.scanned,
              e.found, q.found);
  std::printf("open + first screen of 40 rows in DATESENT order (%d rows): %.1f ms\n", n, screen);
  std::filesystem::remove_all(folder);
  return 0;
}
