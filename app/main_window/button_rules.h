#pragma once
// Which fax-list commands are enabled and visible, from the state of the lists: one
// place that decides, called after every command and every change of tab or row.

namespace ql {

enum class TListTab { ltOutgoing, ltReceived };

struct TListState {
  TListTab tab = TListTab::ltOutgoing;
  bool hasRow = false;       // the shown list has a current row
  bool coverEmpty = false;   // outgoing: the current row has no cover sheet
  bool receiveMode = false;  // receive mode is on
};

struct TButtonStates {
  bool sort = true;
  bool cloneVisible = true, clone = false;
  bool forwardVisible = false, forward = false;
  bool send = false, newCover = false, edit = false, del = false, view = false;
  bool addCover = false, archive = false;
  bool fileMenu = true, rebuild = true, preferences = true;
};

TButtonStates ButtonStates(const TListState& state);

}  // namespace ql
