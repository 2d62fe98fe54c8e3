// Any bytes as the index of a small table (shaped like the phone book, so that real
// phone-book indexes make good seeds): opening either drops the index or gives tags
// that can be walked, sought and updated without crashing or hanging.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "table_engine/table.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("ql-fuzz-cdx-" + std::to_string(::getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ql::xb;
  const auto dbf = Folder() / "T.DBF";
  const auto cdx = Folder() / "T.CDX";
  std::filesystem::remove(dbf);
  if (Table::Create(dbf, {{"NAME", 'C', 35, 0}, {"PHONE", 'C', 25, 0}}) != 0) return 0;
  {
    Table t;
    t.Open(dbf, OpenMode::Exclusive);
    for (int i = 0; i < 20; ++i) {
      t.AppendBlank();
      t.Replace("NAME", "n" + std::to_string(i * 7 % 20));
      t.Replace("PHONE", std::to_string(i));
    }
  }
  {
    std::ofstream out(cdx, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Table t;
  if (t.Open(dbf, OpenMode::Exclusive) != 0) return 0;
  for (int order = 1; order <= t.TagCount(); ++order) {
    t.SetOrder(order);
    int n = 0;
    for (t.GoTop(); !t.Eof() && n < 100; t.Skip(), ++n) {
    }
    for (t.GoBottom(); !t.Bof() && !t.Eof() && n < 200; t.Skip(-1), ++n) {
    }
    t.Seek("n1");
    t.Go(3);
    t.Replace("NAME", "changed");
    t.Replace("PHONE", "99");
    t.AppendBlank();
    t.Replace("NAME", "added");
    t.PutRecord();
    t.Delete();
  }
  return 0;
}
