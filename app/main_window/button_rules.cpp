#include "app/main_window/button_rules.h"

namespace ql {

TButtonStates ButtonStates(const TListState& s) {
  TButtonStates b;
  const bool outgoing = s.tab == TListTab::ltOutgoing;
  b.sort = true;
  b.cloneVisible = outgoing;
  b.clone = outgoing && s.hasRow;
  b.forwardVisible = !outgoing;
  b.forward = !outgoing && s.hasRow;
  b.send = outgoing && s.hasRow && !s.receiveMode;
  b.newCover = outgoing;
  b.edit = s.hasRow;
  b.del = s.hasRow;
  b.view = s.hasRow;
  b.archive = s.hasRow;
  b.addCover = outgoing && !s.receiveMode && s.hasRow && s.coverEmpty;
  b.fileMenu = !s.receiveMode;
  b.rebuild = !s.receiveMode;
  b.preferences = !s.receiveMode;
  return b;
}

}  // namespace ql
