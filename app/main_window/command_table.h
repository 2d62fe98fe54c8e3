#pragma once
// The main window's commands as data: one entry a command, saying where it stands (a
// menu of the menu bar, the button bar, the lists' context menu, a shortcut, Enter or a
// double click on a list row), its labels and hint, when it is enabled and visible, and
// what carries it out. The window builds every control from this table; a new command
// is one more entry.

#include <vector>

#include "app/main_window/list_state.h"

namespace ql {

class TMainScreen;

enum class TCommand {
  cmNew,
  cmAddCover,
  cmEdit,
  cmClone,
  cmDelete,
  cmArchive,
  cmForward,
  cmShowArchived,
  cmSend,
  cmReceive,
  cmView,
  cmSort,
  cmModemReset,
  cmPhoneBook,
  cmRebuild,
  cmPreferences,
  cmExit,
  cmContents,
  cmTroubleshooting,
  cmAbout,
  cmHints,
  cmQuickStart,
  cmSwitchTab,  // Ctrl+Tab: the other list
  cmTransmissionReport,  // the last transmission report of an outgoing row
};

enum class TMenuId { mnNone, mnFile, mnFax, mnTools, mnHelp };

// An enabling or visibility rule over the shown list and its current row.
using TCommandRule = bool (*)(const TListState&);
// The window's own operation for a command.
using TCommandHandler = void (*)(TMainScreen&);

struct TCommandEntry {
  TCommand command;
  TMenuId menu = TMenuId::mnNone;  // the menu-bar menu that lists it
  int group = 0;                   // a separator stands where the group changes within a menu
  const char* menuText = "";       // menu and context-menu label; also the command's name
  const char* buttonText = "";     // button-bar label; empty: no button
  const char* shortcut = "";       // e.g. "Ctrl+N"; empty: none
  const char* hint = "";           // the pop-up hint shown while hints are on ("\r" breaks lines)
  bool checkable = false;          // a check item
  bool inContextMenu = false;      // also offered when a list row is right-clicked
  bool activatesRow = false;       // run by Enter or a double click on a list row
  TCommandRule enabled = nullptr;  // null: always enabled
  TCommandRule visible = nullptr;  // null: always visible
  // Null: another part of the program carries the command out; it is available once that
  // part attaches its operation (TMainScreen::AttachCommand) and the rule allows.
  TCommandHandler run = nullptr;

  bool IsEnabled(const TListState& s) const { return enabled == nullptr || enabled(s); }
  bool IsVisible(const TListState& s) const { return visible == nullptr || visible(s); }
};

struct TMenuEntry {
  TMenuId id;
  const char* title;
  TCommandRule enabled = nullptr;  // null: always enabled

  bool IsEnabled(const TListState& s) const { return enabled == nullptr || enabled(s); }
};

// The fax desk's commands, in the order they stand in every place, and its menus.
const std::vector<TCommandEntry>& MainCommands();
const std::vector<TMenuEntry>& MainMenus();
// The entry of a command or menu of the table; std::logic_error for one that has none.
const TCommandEntry& MainCommand(TCommand command);
const TMenuEntry& MainMenu(TMenuId id);

// The archive command's caption and hint while the current row is archived.
inline constexpr const char* kUnarchiveText = "Un&Archive";
inline constexpr const char* kUnarchiveHint = "Unarchive this fax [CTRL+A]";

}  // namespace ql
