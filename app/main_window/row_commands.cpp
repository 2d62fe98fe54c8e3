#include "app/main_window/row_commands.h"

#include "app/fax_store/fax_store.h"
#include "app/main_window/command_texts.h"
#include "app/main_window/cover_commands.h"
#include "app/main_window/delete_what.h"
#include "app/main_window/fax_editor.h"
#include "app/main_window/fax_list.h"
#include "app/main_window/main_screen.h"
#include "app/main_window/receive_notes.h"
#include "app/phonebook/phone_book.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/view/view_command.h"
#include "platform/file_names.h"

namespace ql {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

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

TFaxList& TRowCommands::Outgoing() {
  return desk_.List(TListTab::ltOutgoing);
}
TFaxList& TRowCommands::Received() {
  return desk_.List(TListTab::ltReceived);
}

bool TRowCommands::GoToCurrent(TFaxList& list, uint32_t& recno) {
  if (list.Busy(desk_.FaxInProgress())) {
    Beep();
    return false;
  }
  return list.GoToCurrent(recno);
}

bool TRowCommands::CurrentOutgoing(OutgoingFax& row, uint32_t& recno) {
  if (!GoToCurrent(Outgoing(), recno)) return false;
  ReadOutgoing(Outgoing().Table(), row);
  return true;
}

bool TRowCommands::CurrentReceived(ReceivedFax& row, uint32_t& recno) {
  if (!GoToCurrent(Received(), recno)) return false;
  ReadReceived(Received().Table(), row);
  return true;
}

void TRowCommands::EditCurrent() {
  if (desk_.CurrentTab() == TListTab::ltReceived) {
    EditReceivedFax();
    return;
  }
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  if (!row.faxCover.empty()) {
    TCoverCommands(desk_).EditCoverOfCurrent();
    return;
  }
  EditAPFFax();
}

void TRowCommands::EditAPFFax() {
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  TFaxInfo info{Q(row.recipient), Q(row.phone), Q(row.subject), Q(row.notes), Q(row.codes)};
  if (!TFaxEditor::Edit(&desk_, QStringLiteral("Fax Information Editor"), info, PickFromPhoneBook)) return;
  ReturnToRow(Outgoing().Table(), recno);
  if (WriteFaxInformation(Outgoing().Table(), ToStore(info)) != 0)
    ShowError(QStringLiteral("Unable to write the fax information"));
  Outgoing().Refresh(recno);
}

void TRowCommands::EditReceivedFax() {
  uint32_t recno = 0;
  ReceivedFax row;
  if (!CurrentReceived(row, recno)) return;
  QString notes = Q(row.notes);
  if (!TEditReceiveNotes::Edit(&desk_, Q(row.from), notes)) return;
  ReturnToRow(Received().Table(), recno);
  if (WriteReceivedNotes(Received().Table(), notes.toStdString()) != 0)
    ShowError(QStringLiteral("Unable to write the notes"));
  Received().Refresh(recno);
}

void TRowCommands::CloneAPFFax() {
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
  if (AppendClone(Outgoing().Table(), source, newDoc, newCover) != 0)
    ShowError(QStringLiteral("Unable to add the cloned fax"));
  const uint32_t cloned = Outgoing().Table().RecNo();
  desk_.FaxTableCloseAndOpen();
  Outgoing().Refresh(cloned);
}

void TRowCommands::DeleteCurrent() {
  if (desk_.CurrentTab() == TListTab::ltReceived)
    DeleteFromRec();
  else
    DeleteFromSend();
}

void TRowCommands::DeleteFromRec() {
  uint32_t recno = 0;
  ReceivedFax row;
  if (!CurrentReceived(row, recno)) return;
  if (!AskYesNoDefaultNo(DeleteReceivedQuestion(Q(row.from)), QStringLiteral("Delete"))) return;
  ReturnToRow(Received().Table(), recno);
  DeleteRow(Received().Table());
  Received().Refresh(0);
  RemoveQuietly(RowFile(ReceiveFolder(), row.faxFile));
}

void TRowCommands::DeleteFromSend() {
  uint32_t recno = 0;
  OutgoingFax row;
  if (!CurrentOutgoing(row, recno)) return;
  TDeleteChoice choice = TDeleteChoice::dwBoth;
  if (!row.faxDoc.empty() && !row.faxCover.empty()) {
    const std::optional<TDeleteChoice> chosen = TDeleteWhat::Ask(&desk_);
    if (!chosen) return;
    choice = *chosen;
  } else if (!AskYesNoDefaultNo(DeleteOutgoingQuestion(Q(row.subject)), QStringLiteral("Delete"))) {
    return;
  }
  const std::filesystem::path send = SendFolder();
  const std::filesystem::path body = RowFile(send, row.faxDoc);
  const std::filesystem::path cover = RowFile(send, row.faxCover);
  const std::filesystem::path description = cover.empty() ? std::filesystem::path() : CoverDescription(cover);
  ReturnToRow(Outgoing().Table(), recno);
  switch (choice) {
    case TDeleteChoice::dwCover:
      ClearFaxCover(Outgoing().Table());
      Outgoing().Refresh(recno);
      RemoveQuietly(cover);
      RemoveQuietly(description);
      break;
    case TDeleteChoice::dwBody:
      ClearFaxDoc(Outgoing().Table());
      Outgoing().Refresh(recno);
      RemoveQuietly(body);
      desk_.FaxFilesRemoved(row.faxDoc, row.faxCover);
      break;
    case TDeleteChoice::dwBoth:
      DeleteRow(Outgoing().Table());
      Outgoing().Refresh(0);
      RemoveQuietly(body);
      RemoveQuietly(cover);
      RemoveQuietly(description);
      desk_.FaxFilesRemoved(row.faxDoc, row.faxCover);
      break;
  }
}

void TRowCommands::ArchiveCurrent() {
  TFaxList& list = desk_.ShownList();
  uint32_t recno = 0;
  if (!GoToCurrent(list, recno)) return;
  xb::TTableEngine& table = list.Table();
  bool archived = false;
  table.GetLogical("ARCHIVED", archived);
  std::string name;
  table.GetString(list.Kind().nameField, name);
  if (!AskYesNoDefaultNo(ArchiveQuestion(archived, list.Tab() == TListTab::ltOutgoing, Q(name)),
                         QStringLiteral("Archive")))
    return;
  ReturnToRow(table, recno);
  ToggleArchived(table);  // a failure leaves the row as it was; nothing to report
  // Under the archive filter the row has left the list: keep the place instead of
  // reading the whole list in search of it.
  list.Refresh(desk_.ArchiveFilter().empty() ? recno : 0);
}

void TRowCommands::ForwardReceived() {
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
  if (!TFaxEditor::Edit(&desk_, QStringLiteral("Forward fax from: ") + Q(row.from), info, PickFromPhoneBook))
    return;
  const std::filesystem::path copy = NextFreeSendName("FWD");
  if (!CopyFaxFile(received, copy)) {
    ShowError(QStringLiteral("Unable to copy the received fax to ") + Q(copy.string()));
    return;
  }
  if (AppendForward(Outgoing().Table(), ToStore(info), copy.filename().string()) != 0) {
    ShowError(QStringLiteral("Unable to add the forwarded fax"));
    return;
  }
  const uint32_t added = Outgoing().Table().RecNo();
  desk_.SelectTab(TListTab::ltOutgoing);
  desk_.FaxTableCloseAndOpen();
  Outgoing().Refresh(added);
}

void TRowCommands::ViewCurrent() {
  uint32_t recno = 0;
  TViewSubject subject;
  subject.received = desk_.CurrentTab() == TListTab::ltReceived;
  const bool found = subject.received ? CurrentReceived(subject.receivedRow, recno)
                                      : CurrentOutgoing(subject.outgoingRow, recno);
  if (found) ViewFax(desk_, subject);
}

}  // namespace ql
