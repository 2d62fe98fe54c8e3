// The commands on fax rows: edit, clone, delete, archive, forward, show archived. Each
// remembers the row's record number before any modal window and returns to it before
// it writes, since the lists may have moved the table meanwhile.

#include <QTableView>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/command_texts.h"
#include "app/main_window/delete_what.h"
#include "app/main_window/fax_editor.h"
#include "app/main_window/main_screen.h"
#include "app/main_window/receive_notes.h"
#include "app/phonebook/phone_book.h"
#include "app/preferences/preferences.h"
#include "app/rebuild/rebuild_indexes.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/file_names.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

FaxInformation ToStore(const TFaxInfo& i) {
  return FaxInformation{i.Recipient.toStdString(), i.Subject.toStdString(), i.Phone.toStdString(),
                        i.Notes.toStdString(), i.Codes.toStdString()};
}

// A fax file named by a row: the stored name reduced to a bare name, in its folder,
// in whatever case it exists there. Empty when the row names none.
std::filesystem::path RowFile(const std::filesystem::path& folder, const std::string& stored) {
  const std::string name = BareFileName(stored);
  if (name.empty()) return {};
  return ResolveIgnoringCase(folder, name);
}

// The ".fcd" description that goes with a cover sheet.
std::filesystem::path CoverDescription(const std::filesystem::path& cover) {
  std::filesystem::path fcd = cover.filename();
  fcd.replace_extension(".fcd");
  return ResolveIgnoringCase(cover.parent_path(), fcd.string());
}

void RemoveQuietly(const std::filesystem::path& path) {
  if (path.empty()) return;
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

bool Exists(const std::filesystem::path& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool TMainScreen::CurrentOutgoing(OutgoingFax& row, uint32_t& recno) {
  if (!GoToCurrent(TListTab::ltOutgoing, recno)) return false;
  ReadOutgoing(out_, row);
  return true;
}

bool TMainScreen::CurrentReceived(ReceivedFax& row, uint32_t& recno) {
  if (faxInProgress_) {
    Beep();
    return false;
  }
  if (!GoToCurrent(TListTab::ltReceived, recno)) return false;
  ReadReceived(rec_, row);
  return true;
}

void TMainScreen::EditCurrent() {
  if (CurrentTab() == TListTab::ltReceived) {
    EditReceivedFax();
    return;
  }
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  if (!row.faxCover.empty() && IsAttached(TCommand::cmEditCover)) {
    attached_[TCommand::cmEditCover]();
    RefreshList(TListTab::ltOutgoing, recno);
    return;
  }
  EditAPFFax();
}

void TMainScreen::EditAPFFax() {
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  TFaxInfo info{Q(row.recipient), Q(row.phone), Q(row.subject), Q(row.notes), Q(row.codes)};
  if (!TFaxEditor::Edit(this, QStringLiteral("Fax Information Editor"), info, PickFromPhoneBook)) return;
  ReturnToRow(out_, recno);
  if (WriteFaxInformation(out_, ToStore(info)) != 0) ShowError(QStringLiteral("Unable to write the fax information"));
  RefreshList(TListTab::ltOutgoing, recno);
}

void TMainScreen::EditReceivedFax() {
  uint32_t recno = 0;
  ReceivedFax row;
  if (!CurrentReceived(row, recno)) return;
  QString notes = Q(row.notes);
  if (!TEditReceiveNotes::Edit(this, Q(row.from), notes)) return;
  ReturnToRow(rec_, recno);
  if (WriteReceivedNotes(rec_, notes.toStdString()) != 0) ShowError(QStringLiteral("Unable to write the notes"));
  RefreshList(TListTab::ltReceived, recno);
}

void TMainScreen::CloneAPFFax() {
  uint32_t recno = 0;
  OutgoingFax source;
  if (!CurrentOutgoing(source, recno)) return;
  if (!AskYesNoDefaultNo(CloneQuestion(Q(source.subject)), QStringLiteral("Clone"))) return;
  if (source.faxDoc.empty() && source.faxCover.empty()) return;
  const std::filesystem::path send = SendFolder();
  std::string newDoc;
  const std::filesystem::path body = RowFile(send, source.faxDoc);
  if (Exists(body)) {
    const std::filesystem::path copy = NextFreeSendName("FAX");
    if (CopyFaxFile(body, copy)) newDoc = copy.filename().string();
  }
  std::string newCover;
  const std::filesystem::path cover = RowFile(send, source.faxCover);
  const std::filesystem::path description = cover.empty() ? std::filesystem::path() : CoverDescription(cover);
  // A cover is cloned only together with its description.
  if (Exists(cover) && Exists(description)) {
    const std::filesystem::path copy = NextFreeSendName("COV");
    std::filesystem::path copyDescription = copy;
    copyDescription.replace_extension(".fcd");
    if (CopyFaxFile(cover, copy)) {
      if (CopyFaxFile(description, copyDescription)) {
        newCover = copy.filename().string();
      } else {
        RemoveQuietly(copy);  // a cover without its description is of no use
      }
    }
  }
  if (AppendClone(out_, source, newDoc, newCover) != 0) ShowError(QStringLiteral("Unable to add the cloned fax"));
  const uint32_t cloned = out_.RecNo();
  FaxTableCloseAndOpen();
  RefreshList(TListTab::ltOutgoing, cloned);
}

void TMainScreen::DeleteCurrent() {
  if (CurrentTab() == TListTab::ltReceived)
    DeleteFromRec();
  else
    DeleteFromSend();
}

void TMainScreen::DeleteFromRec() {
  uint32_t recno = 0;
  ReceivedFax row;
  if (!CurrentReceived(row, recno)) return;
  if (!AskYesNoDefaultNo(DeleteReceivedQuestion(Q(row.from)), QStringLiteral("Delete"))) return;
  ReturnToRow(rec_, recno);
  DeleteRow(rec_);
  RefreshList(TListTab::ltReceived, 0);
  RemoveQuietly(RowFile(ReceiveFolder(), row.faxFile));
}

void TMainScreen::DeleteFromSend() {
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  TDeleteChoice choice = TDeleteChoice::dwBoth;
  if (!row.faxDoc.empty() && !row.faxCover.empty()) {
    const std::optional<TDeleteChoice> chosen = TDeleteWhat::Ask(this);
    if (!chosen) return;
    choice = *chosen;
  } else if (!AskYesNoDefaultNo(DeleteOutgoingQuestion(Q(row.subject)), QStringLiteral("Delete"))) {
    return;
  }
  const std::filesystem::path send = SendFolder();
  const std::filesystem::path body = RowFile(send, row.faxDoc);
  const std::filesystem::path cover = RowFile(send, row.faxCover);
  const std::filesystem::path description = cover.empty() ? std::filesystem::path() : CoverDescription(cover);
  ReturnToRow(out_, recno);
  switch (choice) {
    case TDeleteChoice::dwCover:
      ClearFaxCover(out_);
      RefreshList(TListTab::ltOutgoing, recno);
      RemoveQuietly(cover);
      RemoveQuietly(description);
      break;
    case TDeleteChoice::dwBody:
      ClearFaxDoc(out_);
      RefreshList(TListTab::ltOutgoing, recno);
      RemoveQuietly(body);
      break;
    case TDeleteChoice::dwBoth:
      DeleteRow(out_);
      RefreshList(TListTab::ltOutgoing, 0);
      RemoveQuietly(body);
      RemoveQuietly(cover);
      RemoveQuietly(description);
      break;
  }
}

void TMainScreen::ArchiveCurrent() {
  const TListTab tab = CurrentTab();
  if (tab == TListTab::ltReceived && faxInProgress_) {
    Beep();
    return;
  }
  uint32_t recno = 0;
  if (!GoToCurrent(tab, recno)) return;
  xb::TTableEngine& table = TableOf(tab);
  bool archived = false;
  table.GetLogical("ARCHIVED", archived);
  std::string name;
  table.GetString(tab == TListTab::ltOutgoing ? "SUBJECT" : "FROM", name);
  if (!AskYesNoDefaultNo(ArchiveQuestion(archived, tab == TListTab::ltOutgoing, Q(name)), QStringLiteral("Archive")))
    return;
  ReturnToRow(table, recno);
  ToggleArchived(table);  // a failure leaves the row as it was; nothing to report
  // Under the archive filter the row has left the list: keep the place instead of
  // reading the whole list in search of it.
  RefreshList(tab, archiveFilter_.empty() ? recno : 0);
}

void TMainScreen::ForwardReceived() {
  uint32_t recno = 0;
  ReceivedFax row;
  if (!CurrentReceived(row, recno)) return;
  const std::filesystem::path received = RowFile(ReceiveFolder(), row.faxFile);
  if (!Exists(received)) {
    Beep();
    return;
  }
  if (!AskYesNoDefaultNo(ForwardQuestion(Q(row.from)), QStringLiteral("Forward"))) return;
  TFaxInfo info;
  if (!TFaxEditor::Edit(this, QStringLiteral("Forward fax from: ") + Q(row.from), info, PickFromPhoneBook)) return;
  const std::filesystem::path copy = NextFreeSendName("FWD");
  if (!CopyFaxFile(received, copy)) {
    ShowError(QStringLiteral("Unable to copy the received fax to ") + Q(copy.string()));
    return;
  }
  if (AppendForward(out_, ToStore(info), copy.filename().string()) != 0) {
    ShowError(QStringLiteral("Unable to add the forwarded fax"));
    return;
  }
  const uint32_t added = out_.RecNo();
  SelectTab(TListTab::ltOutgoing);
  FaxTableCloseAndOpen();
  RefreshList(TListTab::ltOutgoing, added);
}

void TMainScreen::ToggleShowArchived() {
  archiveFilter_ = Action(TCommand::cmShowArchived)->isChecked() ? std::string() : std::string(kArchiveFilter);
  ApplyArchiveFilter();
  RefreshList(TListTab::ltOutgoing, CurrentRecNo(TListTab::ltOutgoing));
  RefreshList(TListTab::ltReceived, CurrentRecNo(TListTab::ltReceived));
}

void TMainScreen::FaxTableCloseAndOpen() {
  const std::string order = OrderTag(TListTab::ltOutgoing);
  const uint32_t recno = out_.RecNo();
  out_.Close();
  if (OpenFaxDBF(out_, archiveFilter_)) {
    out_.SetOrder(order.empty() ? 0 : out_.TagArea(order));
    ReturnToRow(out_, recno);
  }
  RefreshList(TListTab::ltOutgoing, recno);
}

void TMainScreen::RebuildIndexes() {
  outView_->setUpdatesEnabled(false);
  const uint32_t outRow = CurrentRecNo(TListTab::ltOutgoing);
  const uint32_t recRow = CurrentRecNo(TListTab::ltReceived);
  {
    TRebuildInd window(this, out_, rec_);
    CenterOverMain(&window);
    window.exec();
  }
  ApplyArchiveFilter();
  RefreshList(TListTab::ltOutgoing, outRow);
  RefreshList(TListTab::ltReceived, recRow);
  outView_->setUpdatesEnabled(true);
}

void TMainScreen::OpenPreferences(bool firstRun) { TPreferences::Edit(this, firstRun); }

void TMainScreen::OpenPhoneBook() {
  TPhoneBook book(this, TPhoneBookMode::pbBrowse);
  if (!book.Open()) {
    ShowError(QStringLiteral("Unable to open or create QLPB.DBF"));
    return;
  }
  CenterOverMain(&book);
  book.exec();
}

}  // namespace ql
