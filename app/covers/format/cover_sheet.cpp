#include "app/covers/format/cover_sheet.h"

#include "app/fax_store/fax_store.h"
#include "platform/file_names.h"

namespace ql {

TCoverSheetStart NewCoverSheet() { return TCoverSheetStart{}; }

TCoverSheetStart CoverSheetOfRow(const OutgoingFax& row, const std::filesystem::path& sendFolder) {
  TCoverSheetStart start;
  TCoverSheet& sheet = start.Sheet;
  const std::string cover = BareFileName(row.faxCover);
  if (!cover.empty()) {
    start.ExistingCover = ResolveIgnoringCase(sendFolder, cover);
    if (const auto description = ReadCoverDescription(DescriptionPathOf(start.ExistingCover))) {
      sheet.TemplateName = description->TemplateName;
      sheet.Flags = FlagsFromString(description->Flags);
      sheet.MessageLines = description->MessageLines;
    }
  }
  sheet.Recipient = row.recipient;
  sheet.RecipientFax = row.phone;
  sheet.Regarding = row.subject;
  sheet.Notes = row.notes;
  sheet.Codes = row.codes;
  return start;
}

TCoverDescription DescriptionOf(const TCoverSheet& sheet) {
  return TCoverDescription{sheet.TemplateName, FlagsToString(sheet.Flags), sheet.MessageLines};
}

FaxInformation RowFieldsOf(const TCoverSheet& sheet) {
  return FaxInformation{sheet.Recipient, sheet.Regarding, sheet.RecipientFax, sheet.Notes, sheet.Codes};
}

TCoverValues ValuesOf(const TCoverSheet& sheet, const TSettings& settings, std::string date, std::string time) {
  TCoverValues values;
  values.Date = std::move(date);
  values.Time = std::move(time);
  values.Regarding = sheet.Regarding;
  values.Recipient = sheet.Recipient;
  values.RecipientFax = sheet.RecipientFax;
  TakeSenderValues(settings, values);
  values.Message = JoinLines(sheet.MessageLines);
  values.Flags = sheet.Flags;
  return values;
}

}  // namespace ql
