#pragma once
// What the enabling rules of the main window's commands look at: which list is shown,
// whether it has a current row and what that row holds, and whether receive mode is on.

namespace ql {

enum class TListTab { ltOutgoing, ltReceived };

struct TListState {
  TListTab tab = TListTab::ltOutgoing;
  bool hasRow = false;       // the shown list has a current row
  bool coverEmpty = false;   // outgoing: the current row has no cover sheet
  bool receiveMode = false;  // receive mode is on
};

}  // namespace ql
