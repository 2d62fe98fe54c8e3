#include "app/main_window/command_table.h"

#include <algorithm>
#include <stdexcept>

#include "app/main_window/about.h"
#include "app/main_window/cover_commands.h"
#include "app/main_window/main_screen.h"
#include "app/main_window/quick_start.h"
#include "app/main_window/row_commands.h"
#include "app/ui/window_glue.h"
#include "platform/help/help.h"

namespace ql {
namespace {

using C = TCommand;
using M = TMenuId;
using S = const TListState&;

bool Outgoing(S s) {
  return s.tab == TListTab::ltOutgoing;
}
bool Received(S s) {
  return s.tab == TListTab::ltReceived;
}
bool HasRow(S s) {
  return s.hasRow;
}
bool NotReceiving(S s) {
  return !s.receiveMode;
}
bool OutgoingRow(S s) {
  return Outgoing(s) && s.hasRow;
}
bool ReceivedRow(S s) {
  return Received(s) && s.hasRow;
}
bool CanSend(S s) {
  return OutgoingRow(s) && !s.receiveMode;
}
bool CanAddCover(S s) {
  return CanSend(s) && s.coverEmpty;
}

}  // namespace

const std::vector<TCommandEntry>& MainCommands() {
  static const std::vector<TCommandEntry> table = {
      {.command = C::cmNew,
       .menu = M::mnFile,
       .menuText = "&New Cover Sheet",
       .buttonText = "&New",
       .shortcut = "Ctrl+N",
       .hint = "Create a new cover sheet or quick fax [CTRL+N]",
       .enabled = Outgoing,
       .run = [](TMainScreen& w) { TCoverCommands(w).NewQuickFax(); }},
      {.command = C::cmAddCover,
       .menu = M::mnFile,
       .menuText = "Add C&over Sheet",
       .buttonText = "Add C&over",
       .shortcut = "Ctrl+O",
       .hint = "Add a cover sheet to this fax [CTRL+O]",
       .enabled = CanAddCover,
       .run = [](TMainScreen& w) { TCoverCommands(w).EditCoverOfCurrent(); }},
      {.command = C::cmEdit,
       .menu = M::mnFile,
       .menuText = "&Edit",
       .buttonText = "&Edit",
       .shortcut = "Ctrl+E",
       .hint = "Edit the information of this fax [CTRL+E]",
       .activatesRow = true,
       .enabled = HasRow,
       .run = [](TMainScreen& w) { TRowCommands(w).EditCurrent(); }},
      {.command = C::cmClone,
       .menu = M::mnFile,
       .menuText = "&Clone",
       .buttonText = "&Clone",
       .shortcut = "Ctrl+C",
       .hint = "Make a copy of this fax [CTRL+C]",
       .enabled = OutgoingRow,
       .visible = Outgoing,
       .run = [](TMainScreen& w) { TRowCommands(w).CloneAPFFax(); }},
      // The forward button takes the clone button's place: only one is ever visible.
      {.command = C::cmForward,
       .menu = M::mnFile,
       .menuText = "For&ward Received Fax",
       .buttonText = "For&ward",
       .hint = "Forward this received fax to be sent",
       .enabled = ReceivedRow,
       .visible = Received,
       .run = [](TMainScreen& w) { TRowCommands(w).ForwardReceived(); }},
      {.command = C::cmDelete,
       .menu = M::mnFile,
       .menuText = "&Delete",
       .buttonText = "&Delete",
       .shortcut = "Ctrl+D",
       .hint = "Delete this fax [CTRL+D]",
       .enabled = HasRow,
       .run = [](TMainScreen& w) { TRowCommands(w).DeleteCurrent(); }},
      {.command = C::cmArchive,
       .menu = M::mnFile,
       .menuText = "&Archive",
       .buttonText = "&Archive",
       .shortcut = "Ctrl+A",
       .hint =
           "Archive this fax [CTRL+A]\r(This makes the fax invisible, but does not\rdelete it. You can view "
           "archived faxes by\rtoggling the File..Show Archived Faxes menu)",
       .enabled = HasRow,
       .run = [](TMainScreen& w) { TRowCommands(w).ArchiveCurrent(); }},
      {.command = C::cmSend,
       .menu = M::mnFax,
       .menuText = "&Send Fax",
       .buttonText = "&Send",
       .shortcut = "Ctrl+S",
       .hint = "Send this fax [CTRL+S]",
       .enabled = CanSend},
      {.command = C::cmTransmissionReport,
       .menuText = "Transmission Re&port",
       .hint = "Open the last transmission report of this fax",
       .inContextMenu = true,
       .enabled = OutgoingRow},
      {.command = C::cmReceive,
       .menu = M::mnFax,
       .menuText = "&Receive Fax",
       .buttonText = "&Receive",
       .shortcut = "Ctrl+R",
       .hint = "Wait for and receive faxes [CTRL+R]"},
      {.command = C::cmView,
       .menu = M::mnFile,
       .menuText = "&View/Print Fax",
       .buttonText = "&View",
       .shortcut = "Ctrl+V",
       .hint = "View or print this fax [CTRL+V]",
       .enabled = HasRow,
       .run = [](TMainScreen& w) { TRowCommands(w).ViewCurrent(); }},
      {.command = C::cmShowArchived,
       .menu = M::mnFile,
       .group = 1,
       .menuText = "S&how Archived Faxes",
       .checkable = true,
       .run = [](TMainScreen& w) { w.ToggleShowArchived(); }},
      {.command = C::cmSort,
       .menuText = "Sor&t",
       .buttonText = "Sor&t",
       .hint = "Sort the list",
       .run = [](TMainScreen& w) { w.PopUpSortMenu(); }},
      {.command = C::cmExit,
       .menu = M::mnFile,
       .group = 2,
       .menuText = "E&xit",
       .buttonText = "E&xit",
       .shortcut = "Ctrl+X",
       .hint = "Close Quillet [CTRL+X]",
       .run = [](TMainScreen& w) { w.close(); }},
      {.command = C::cmModemReset,
       .menu = M::mnFax,
       .group = 1,
       .menuText = "&Modem Reset",
       .hint = "Reset the modem",
       .enabled = NotReceiving},
      {.command = C::cmPhoneBook,
       .menu = M::mnTools,
       .menuText = "&Phone Book",
       .hint = "Edit the phone book",
       .run = [](TMainScreen& w) { w.OpenPhoneBook(); }},
      {.command = C::cmRebuild,
       .menu = M::mnTools,
       .menuText = "Rebuild &Indexes",
       .hint = "Do this every 2 weeks ",
       .enabled = NotReceiving,
       .run = [](TMainScreen& w) { w.RebuildIndexes(); }},
      {.command = C::cmPreferences,
       .menu = M::mnTools,
       .menuText = "P&references",
       .hint = "Your name, numbers, modem and dialing settings",
       .enabled = NotReceiving,
       .run = [](TMainScreen& w) { w.OpenPreferences(false); }},
      {.command = C::cmQuickStart,
       .menu = M::mnHelp,
       .menuText = "----Start Here----",
       .run =
           [](TMainScreen& w) {
             TQuickStart window(&w);
             CenterOverMain(&window);
             window.exec();
           }},
      {.command = C::cmContents,
       .menu = M::mnHelp,
       .menuText = "&Contents",
       .run = [](TMainScreen&) { ShowHelp(kHelpContents); }},
      {.command = C::cmTroubleshooting,
       .menu = M::mnHelp,
       .menuText = "&Troubleshooting Tips",
       .run = [](TMainScreen&) { ShowHelp(kHelpTroubleshooting); }},
      {.command = C::cmHints,
       .menu = M::mnHelp,
       .menuText = "&Show Hints",
       .checkable = true,
       .run = [](TMainScreen& w) { w.ToggleHints(); }},
      {.command = C::cmAbout,
       .menu = M::mnHelp,
       .group = 1,
       .menuText = "&About",
       .run = [](TMainScreen& w) { ShowAbout(&w); }},
      {.command = C::cmSwitchTab,
       .menuText = "Switch list",
       .shortcut = "Ctrl+Tab",
       .run = [](TMainScreen& w) { w.ToggleTab(); }},
  };
  return table;
}

const std::vector<TMenuEntry>& MainMenus() {
  static const std::vector<TMenuEntry> menus = {
      {M::mnFile, "&File", NotReceiving}, {M::mnFax, "F&ax"}, {M::mnTools, "&Tools"}, {M::mnHelp, "&Help"}};
  return menus;
}

const TCommandEntry& MainCommand(TCommand command) {
  const auto& table = MainCommands();
  const auto it =
      std::find_if(table.begin(), table.end(), [command](const auto& e) { return e.command == command; });
  if (it == table.end()) throw std::logic_error("a command without an entry in the command table");
  return *it;
}

const TMenuEntry& MainMenu(TMenuId id) {
  const auto& menus = MainMenus();
  const auto it = std::find_if(menus.begin(), menus.end(), [id](const auto& m) { return m.id == id; });
  if (it == menus.end()) throw std::logic_error("a menu without an entry in the menu table");
  return *it;
}

}  // namespace ql
