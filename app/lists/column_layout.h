#pragma once
// The column layout of a grid kept between runs in two files: base + ".gco", one field
// name per line in the grid's column order, and base + ".gcs", one width in pixels per
// line for every grid column, the row-marker column at the left first.

#include <filesystem>
#include <string>
#include <vector>

class QTableView;

namespace ql {

// fields: the field name of each of the view's model columns, in model order.
void SaveGridOrders(const QTableView& view, const std::vector<std::string>& fields, const std::filesystem::path& base);
// Missing files leave the layout as it is; names that are not fields and lines that
// are not widths are skipped.
void LoadGridOrders(QTableView& view, const std::vector<std::string>& fields, const std::filesystem::path& base);

}  // namespace ql
