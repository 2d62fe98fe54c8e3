#pragma once
// Which fax-list commands are enabled and visible in one state of the lists, as the
// command table's rules decide them: a summary of the table for one state.

#include "app/main_window/list_state.h"

namespace ql {

struct TButtonStates {
  bool sort = true;
  bool cloneVisible = true, clone = false;
  bool forwardVisible = false, forward = false;
  bool send = false, newCover = false, edit = false, del = false, view = false;
  bool addCover = false, archive = false;
  bool fileMenu = true, rebuild = true, preferences = true;
};

// The rules alone: a command carried out by another part also waits for that part.
TButtonStates ButtonStates(const TListState& state);

}  // namespace ql
