#pragma once
// The controls a command table gives a window: one action a command (its menu items,
// context-menu item and shortcut all are that action), a button for the commands that
// have one, the menu-bar menus and the lists' context menu. Enabling, visibility,
// captions and hints are set on the command and reach all of its controls at once.

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/main_window/command_table.h"

class QAbstractItemView;
class QAction;
class QBoxLayout;
class QMainWindow;
class QMenu;
class QPushButton;
class QWidget;

namespace ql {

class TCommandControls {
 public:
  using Trigger = std::function<void(TCommand)>;

  // Makes the actions and fills the window's menu bar. trigger runs when any control of
  // a command is used.
  TCommandControls(QMainWindow& window, const std::vector<TCommandEntry>& table,
                   const std::vector<TMenuEntry>& menus, Trigger trigger);

  // Adds the buttons, in table order, to bar.
  void AddButtons(QBoxLayout& bar, QWidget* parent);
  // Offers the context menu on right-clicks in view (when any entry is in it): the row
  // under the pointer becomes current first.
  void OfferContextMenu(QAbstractItemView& view);
  // The command run by Enter or a double click on a list row, if any.
  std::optional<TCommand> RowCommand() const { return rowCommand_; }

  // Applies the rules for state. attached tells whether a command carried out by another
  // part has its operation.
  void Update(const TListState& state, const std::function<bool(TCommand)>& attached);
  // A caption (button and menu item) and hint of the command's own; Reset puts back the
  // table's. Hints show once applied.
  void SetCaption(TCommand command, const QString& text, const QString& hint);
  void ResetCaption(TCommand command);
  // Shows every command's hint on its controls, or none.
  void ApplyHints(bool on);

  QAction* Action(TCommand command) const;
  QPushButton* Button(TCommand command) const;
  QMenu* Menu(TMenuId id) const;

 private:
  struct Controls {
    const TCommandEntry* entry = nullptr;
    QAction* action = nullptr;
    QPushButton* button = nullptr;
    QString hint;
  };

  Controls* Find(TCommand command);
  const Controls* Find(TCommand command) const;

  QMainWindow& window_;
  Trigger trigger_;
  const std::vector<TCommandEntry> table_;
  const std::vector<TMenuEntry> menuTable_;
  std::vector<Controls> controls_;  // table order
  std::map<TMenuId, QMenu*> menus_;
  QMenu* contextMenu_ = nullptr;
  std::optional<TCommand> rowCommand_;
};

}  // namespace ql
