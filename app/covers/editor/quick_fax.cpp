#include "app/covers/editor/quick_fax.h"

#include <system_error>

#include "app/covers/drawing/cover_page.h"
#include "app/covers/editor/quick_fax_editor.h"
#include "app/fax_store/fax_store.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/file_names.h"
#include "serial/errors/error_text.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

TCoverSaveResult Failed(int code, const QString& text) {
  TCoverSaveResult result;
  result.Code = code < 0 ? code : -1;
  result.Failure = text;
  return result;
}

}  // namespace

TCoverSaveResult SaveCoverSheet(xb::TTableEngine& out, const TCoverSheetStart& start, const TCoverSheet& sheet,
                                bool isNew, uint32_t recno, const TCoverValues& values) {
  // 1. The template, by its bare name, in whatever case it has in "Covers/".
  const std::filesystem::path templatePath = ResolveIgnoringCase(CoversFolder(), BareFileName(sheet.TemplateName));
  // 2. The page, into the row's own cover file or a new one.
  const bool newFile = start.ExistingCover.empty();
  std::error_code ec;
  std::filesystem::create_directories(SendFolder(), ec);
  const std::filesystem::path cover = newFile ? NextFreeSendName("COV") : start.ExistingCover;
  if (const int code = MakeCoverFile(templatePath, values, cover); code < 0)
    return Failed(code, Q(ErrorText(code)));
  // 3. The row.
  const std::string coverName = cover.filename().string();
  int rc = 0;
  if (isNew) {
    rc = AppendCoverSheet(out, RowFieldsOf(sheet), coverName);
  } else {
    ReturnToRow(out, recno);
    rc = WriteCoverSheet(out, RowFieldsOf(sheet), coverName);
  }
  if (rc != 0) {
    if (newFile) std::filesystem::remove(cover, ec);  // no file without its row
    return Failed(rc, QStringLiteral("Unable to write the cover sheet into the fax list"));
  }
  TCoverSaveResult result;
  result.Cover = cover;
  result.RecNo = out.RecNo();
  // 4. The description beside the cover file.
  const std::filesystem::path description = DescriptionPathOf(cover);
  if (!WriteCoverDescription(description, DescriptionOf(sheet))) {
    result.Code = -1;
    result.Failure = QStringLiteral("Unable to write to %1").arg(Q(description.string()));
  }
  return result;
}

TQuickFaxResult EditAddQuickFax(QWidget* parent, xb::TTableEngine& out, bool isNew, uint32_t recno) {
  TCoverSheetStart start = NewCoverSheet();
  if (!isNew) {
    OutgoingFax row;
    if (recno == 0 || out.Go(recno) != 0 || ReadOutgoing(out, row) != 0) {
      Beep();
      return {};
    }
    start = CoverSheetOfRow(row, SendFolder());
  }
  TQuickFaxResult result;
  TCreateEditQuickFax editor(parent);
  editor.SetSheet(start.Sheet);
  editor.SetSaveSheet([&](const TCoverSheet& sheet) {
    const TCoverSaveResult saved = SaveCoverSheet(out, start, sheet, isNew, recno, CoverValuesNow(sheet));
    if (saved.RecNo != 0) {
      result.Outcome = isNew ? TQuickFaxOutcome::qoAppended : TQuickFaxOutcome::qoWritten;
      result.RecNo = saved.RecNo;
    }
    if (saved.Code < 0) ShowError(saved.Failure);
    // A sheet whose row was written is stored, even when its description was not.
    return saved.RecNo != 0;
  });
  CenterOverMain(&editor);
  editor.exec();
  return result;
}

}  // namespace ql
