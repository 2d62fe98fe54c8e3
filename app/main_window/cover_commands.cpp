#include "app/main_window/cover_commands.h"

#include "app/covers/editor/quick_fax.h"
#include "app/covers/shipped/shipped_covers.h"
#include "app/main_window/main_screen.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"

namespace ql {

void TCoverCommands::NewQuickFax() { Edit(true, 0); }

void TCoverCommands::EditCoverOfCurrent() {
  const uint32_t recno = desk_.List(TListTab::ltOutgoing).CurrentRecNo();
  if (recno == 0) {
    Beep();
    return;
  }
  Edit(false, recno);
}

void TCoverCommands::Edit(bool isNew, uint32_t recno) {
  InstallShippedCovers(CoversFolder());
  TFaxList& outgoing = desk_.List(TListTab::ltOutgoing);
  const TQuickFaxResult result = EditAddQuickFax(&desk_, outgoing.Table(), isNew, recno);
  switch (result.Outcome) {
    case TQuickFaxOutcome::qoAppended:
      // A new row: the table is closed and reopened, and the list shows the row.
      desk_.SelectTab(TListTab::ltOutgoing);
      desk_.FaxTableCloseAndOpen();
      outgoing.Refresh(result.RecNo);
      break;
    case TQuickFaxOutcome::qoWritten: outgoing.Refresh(result.RecNo); break;
    case TQuickFaxOutcome::qoCancelled: break;
  }
}

}  // namespace ql
