#pragma once
// A cover sheet as the editor holds it: whom it goes to, what it says, its importance
// flags and the template it is drawn from. It comes from an outgoing row and the
// description beside the row's cover file, and goes back into both when saved.

#include <filesystem>
#include <string>
#include <vector>

#include "app/covers/format/cover_description.h"
#include "app/covers/format/cover_values.h"

namespace ql {

struct OutgoingFax;
struct FaxInformation;

struct TCoverSheet {
  std::string Recipient, RecipientFax, Regarding, Notes, Codes;
  std::vector<std::string> MessageLines;
  TImportanceFlags Flags{};
  std::string TemplateName = kDefaultTemplateName;  // a bare file name in "Covers/"
};

// Where an edited sheet starts from.
struct TCoverSheetStart {
  TCoverSheet Sheet;
  std::filesystem::path ExistingCover;  // the row's cover file; empty for a new one
};

// A new sheet: template "ql0001.fct", nothing else.
TCoverSheetStart NewCoverSheet();
// The sheet of an outgoing row: its recipient, fax number, subject, notes and codes;
// with a FAXCOVER, also the description beside that file in sendFolder when there is
// one (template, flags, message) and the file itself as the cover to overwrite.
TCoverSheetStart CoverSheetOfRow(const OutgoingFax& row, const std::filesystem::path& sendFolder);

// The sheet's description (template, flags line, message lines) and row fields.
TCoverDescription DescriptionOf(const TCoverSheet& sheet);
FaxInformation RowFieldsOf(const TCoverSheet& sheet);

// The values drawn: the sheet's, the sender's from settings, date and time as given.
TCoverValues ValuesOf(const TCoverSheet& sheet, const TSettings& settings, std::string date, std::string time);

}  // namespace ql
