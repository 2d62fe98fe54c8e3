#pragma once
// One fax list of the main window: its table, the grid that shows it, the model between
// them, its sort menu and order, and its column layout. The window holds one for the
// outgoing faxes and one for the received faxes, each described by a TFaxListKind, and
// works on the shown list through it.

#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/lists/table_list_model.h"
#include "app/main_window/list_state.h"
#include "table_engine/table_engine.h"

class QMenu;
class QTableView;
class QWidget;

namespace ql {

struct TSortChoice {
  const char* label;
  const char* tag;
};

// What tells one list from the other.
struct TFaxListKind {
  TListTab tab;
  const char* tabLabel;    // the tab strip's label
  const char* objectName;  // the grid's object name
  std::vector<TListColumn> columns;
  std::vector<int> widths;  // column widths until the user's own layout is restored
  const char* dateOrder;    // the tag a filled list in record order is given
  std::vector<TSortChoice> sortChoices;
  const char* nameField;     // names the row in the commands' questions
  bool busyWhileFaxArrives;  // its commands beep while a fax is coming in
  bool (*open)(xb::TTableEngine& table, std::string_view filter, const std::filesystem::path& folder);
  const char* openFailure;                // shown when the table cannot be opened or created
  std::filesystem::path (*layoutBase)();  // the column layout files; null: not kept
};

const TFaxListKind& OutgoingListKind();
const TFaxListKind& ReceivedListKind();
// The column layout files of the outgoing list, in the data folder ("Out" + ...).
std::filesystem::path OutLayoutBase();

class TFaxList : public QObject {
  Q_OBJECT

 public:
  // The grid and the sort menu belong to owner (the window).
  TFaxList(const TFaxListKind& kind, QWidget* owner);
  ~TFaxList() override;

  const TFaxListKind& Kind() const { return kind_; }
  TListTab Tab() const { return kind_.tab; }
  xb::TTableEngine& Table() { return table_; }
  TTableListModel* Model() const { return model_.get(); }
  QTableView* View() const { return view_; }
  QMenu* SortMenu() const { return sortMenu_; }

  // Opens the table under filter, in its date order on the first row. False when it
  // could not be opened or created.
  bool Open(const std::string& filter);
  // Puts the rows in the grid (an unopened table shows none) and makes the first current.
  void ShowRows();
  // Closes and reopens the table (after an append), keeping its order and row.
  void Reopen(const std::string& filter);
  void ApplyFilter(const std::string& filter);
  // Leaves the grid empty and closes the table.
  void Close();

  bool HasRows() const;
  // The current row as a record number, 0 when the list has none.
  uint32_t CurrentRecNo() const;
  // Moves the table to the current row; false (after a beep) when the list has none.
  bool GoToCurrent(uint32_t& recno);
  // A text or logical field of the current row; false when the list has none.
  bool ReadCurrent(const char* field, std::string& value);
  bool CurrentArchived();
  // True while a fax coming in holds up this list's commands.
  bool Busy(bool faxArriving) const { return kind_.busyWhileFaxArrives && faxArriving; }
  // Reads the list again and puts its current row on recno (or near the old place).
  void Refresh(uint32_t recno);

  // The current order's tag name ("" = record order).
  std::string OrderTag();
  // Chooses the order by tag name ("" = record order) and moves the check mark.
  void SortBy(const std::string& tag);
  // An empty list goes to record order, a filled one in record order to its date order;
  // the sort menu's check mark then shows the order.
  void SettleOrder();

  void SaveLayout() const;
  void LoadLayout();

 signals:
  void CurrentRowChanged();
  // Enter or a double click on a row.
  void RowActivated();
  void SortChosen(const std::string& tag);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SyncSortChecks();
  std::vector<std::string> Fields() const;

  const TFaxListKind& kind_;
  xb::TTableEngine table_;
  std::unique_ptr<TTableListModel> model_;
  QTableView* view_;
  QMenu* sortMenu_;
};

}  // namespace ql
