#include "app/main_window/cover_commands.h"

#include "app/covers/editor/quick_fax.h"
#include "app/covers/shipped/shipped_covers.h"
#include "app/main_window/main_screen.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"

namespace ql {
namespace {

// The editor on a new row (isNew) or on the current outgoing row, then the list: a new
// row is appended, so the table is closed and reopened and the list put on it.
void EditAddQuickFax(TMainScreen& w, bool isNew) {
  const uint32_t current = w.CurrentRecNo(TListTab::ltOutgoing);
  if (!isNew && current == 0) {
    Beep();
    return;
  }
  const TQuickFaxResult result = ql::EditAddQuickFax(&w, w.OutTable(), isNew, current);
  switch (result.Outcome) {
    case TQuickFaxOutcome::qoAppended:
      w.SelectTab(TListTab::ltOutgoing);
      w.FaxTableCloseAndOpen();
      w.RefreshList(TListTab::ltOutgoing, result.RecNo);
      break;
    case TQuickFaxOutcome::qoWritten: w.RefreshList(TListTab::ltOutgoing, result.RecNo); break;
    case TQuickFaxOutcome::qoCancelled: break;
  }
}

}  // namespace

void AttachCoverCommands(TMainScreen& window) {
  InstallShippedCovers(CoversFolder());
  TMainScreen* w = &window;
  window.AttachCommand(TCommand::cmNew, [w] { EditAddQuickFax(*w, true); });
  window.AttachCommand(TCommand::cmAddCover, [w] { EditAddQuickFax(*w, false); });
  window.AttachCommand(TCommand::cmEditCover, [w] { EditAddQuickFax(*w, false); });
}

}  // namespace ql
