#include "app/lists/column_layout.h"

#include <QHeaderView>
#include <QTableView>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace ql {
namespace {

std::filesystem::path WithExtension(std::filesystem::path base, const char* extension) {
  base += extension;
  return base;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

void SaveGridOrders(const QTableView& view, const std::vector<std::string>& fields, const std::filesystem::path& base) {
  const QHeaderView* header = view.horizontalHeader();
  std::ostringstream order;
  std::ostringstream widths;
  widths << view.verticalHeader()->width() << "\n";
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(visual);
    if (logical < 0 || logical >= static_cast<int>(fields.size())) continue;
    order << fields[static_cast<std::size_t>(logical)] << "\n";
    widths << header->sectionSize(logical) << "\n";
  }
  // Losing a layout is harmless; a half-written one would be read back wrongly.
  WriteFileAtomically(WithExtension(base, ".gco"), order.str());
  WriteFileAtomically(WithExtension(base, ".gcs"), widths.str());
}

void LoadGridOrders(QTableView& view, const std::vector<std::string>& fields, const std::filesystem::path& base) {
  QHeaderView* header = view.horizontalHeader();
  const std::vector<std::string> order = ReadLines(WithExtension(base, ".gco"));
  for (std::size_t i = 0; i < order.size() && static_cast<int>(i) < header->count(); ++i) {
    const std::string name(Trim(order[i]));
    for (std::size_t logical = 0; logical < fields.size(); ++logical) {
      if (EqualsIgnoreCase(fields[logical], name)) {
        header->moveSection(header->visualIndex(static_cast<int>(logical)), static_cast<int>(i));
        break;
      }
    }
  }
  const std::vector<std::string> widths = ReadLines(WithExtension(base, ".gcs"));
  for (std::size_t i = 0; i < widths.size(); ++i) {
    const std::optional<int> parsed = ParseIniInteger(Trim(widths[i]));
    if (!parsed || *parsed < 0 || *parsed > 10000) continue;
    const int width = *parsed;
    if (i == 0) {
      view.verticalHeader()->setFixedWidth(width);
      continue;
    }
    const int logical = header->logicalIndex(static_cast<int>(i) - 1);
    if (logical >= 0) header->resizeSection(logical, width);
  }
}

}  // namespace ql
