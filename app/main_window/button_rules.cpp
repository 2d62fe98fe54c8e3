#include "app/main_window/button_rules.h"

#include "app/main_window/command_table.h"

namespace ql {

TButtonStates ButtonStates(const TListState& s) {
  using C = TCommand;
  const auto on = [&s](C c) { return MainCommand(c).IsEnabled(s); };
  TButtonStates b;
  b.sort = on(C::cmSort);
  b.cloneVisible = MainCommand(C::cmClone).IsVisible(s);
  b.clone = on(C::cmClone);
  b.forwardVisible = MainCommand(C::cmForward).IsVisible(s);
  b.forward = on(C::cmForward);
  b.send = on(C::cmSend);
  b.newCover = on(C::cmNew);
  b.edit = on(C::cmEdit);
  b.del = on(C::cmDelete);
  b.view = on(C::cmView);
  b.archive = on(C::cmArchive);
  b.addCover = on(C::cmAddCover);
  b.fileMenu = MainMenu(TMenuId::mnFile).IsEnabled(s);
  b.rebuild = on(C::cmRebuild);
  b.preferences = on(C::cmPreferences);
  return b;
}

}  // namespace ql
