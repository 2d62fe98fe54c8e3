#pragma once
// New quick fax, add cover and edit cover: the cover-sheet editor on a new outgoing row
// or on an existing one, and storing what it made.
//
// Saving a sheet draws it from its template in "Covers/" into its cover file (the row's
// own, overwritten, or the next free "SEND/COV" + five digits + ".APF"), writes RECIPIENT,
// SUBJECT, PHONE, NOTES, CODES and FAXCOVER into the row (a new row is appended first) and
// the description (".FCD") beside the cover file.

#include <QString>
#include <cstdint>
#include <filesystem>

#include "app/covers/format/cover_sheet.h"
#include "table_engine/table_engine.h"

class QWidget;

namespace ql {

struct TCoverSaveResult {
  int Code = 0;                 // 0, or the negative code of the step that failed
  QString Failure;              // what to tell the user when Code is negative
  std::filesystem::path Cover;  // the cover file drawn
  uint32_t RecNo = 0;           // the row written
};

// Stores a checked sheet. isNew appends a row; otherwise the row recno (to which the
// table returns first) is written. A conversion error ends the save before the row is
// touched; a new cover file whose row cannot be written is removed again.
TCoverSaveResult SaveCoverSheet(xb::TTableEngine& out, const TCoverSheetStart& start, const TCoverSheet& sheet,
                                bool isNew, uint32_t recno, const TCoverValues& values);

// What the editor did to the outgoing table.
enum class TQuickFaxOutcome { qoCancelled, qoWritten, qoAppended };
struct TQuickFaxResult {
  TQuickFaxOutcome Outcome = TQuickFaxOutcome::qoCancelled;
  uint32_t RecNo = 0;
};

// `EditAddQuickFax`: opens the editor on a new sheet (isNew) or on the outgoing row recno
// and stores the sheet on Save. After an append the caller closes and reopens the table.
TQuickFaxResult EditAddQuickFax(QWidget* parent, xb::TTableEngine& out, bool isNew, uint32_t recno);

}  // namespace ql
