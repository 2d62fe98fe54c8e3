// Any bytes as a table file: opening either fails with a code or gives rows that read
// without crashing.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "table_engine/table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("ql-fuzz-dbf-" + std::to_string(::getpid()) + ".DBF");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ql::xb::Table t;
  if (t.Open(path, ql::xb::OpenMode::ReadOnly) != 0) return 0;
  t.SetHideDeleted(true);
  t.QueryRecCount();
  std::vector<std::string> values;
  int rows = 0;
  for (t.GoTop(); !t.Eof() && rows < 1000; t.Skip(), ++rows) t.GetRecord(values);
  if (!t.Fields().empty()) t.Query(t.Fields().front().name + " = 'A'");
  t.GoBottom();
  return 0;
}
