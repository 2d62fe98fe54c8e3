#pragma once
// The fax store: the outgoing faxes ("QLOUT.DBF"), the received faxes ("QLREC.DBF") and
// the phone book ("QLPB.DBF"), each a table with its ".CDX" index in the data folder.
// No Qt: ql, qlpick and qlfax all use this library.
//
// Opening: call StartTableSession() once per process, then OpenFaxDBF / OpenRecFaxDBF /
// OpenPhoneDBF on a TTableEngine of your own. They create a missing table, (re)open it,
// build the tags when the index is missing or was damaged, and apply the filter:
//
//   ql::xb::TTableEngine out;
//   if (!ql::OpenFaxDBF(out)) ShowInfo("Unable to open/create the FAX datafile - closing program");
//   out.SetOrder(out.TagArea("DATESENT"));
//   for (out.GoTop(); !out.Eof(); out.Skip()) { ql::OutgoingFax row; ql::ReadOutgoing(out, row); ... }
//
// Row operations act on the table's current row (or append one) and end by writing the
// row; they return 0 or a negative table engine code (see table_engine/table_errors.h).
// Text is UTF-8; values longer than their field are cut. Fax file names are stored as
// bare file names (any folder part is dropped): the folder is implied by the table
// (FAXDOC and FAXCOVER in SEND, FAXFILE in Receive).
//
// Remember-and-return: before showing a modal window remember table.RecNo(); afterwards
// call ReturnToRow(table, remembered) and then the row operation.

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "table_engine/table_engine.h"

namespace ql {

inline constexpr const char* kOutgoingTableName = "QLOUT.DBF";
inline constexpr const char* kReceivedTableName = "QLREC.DBF";
inline constexpr const char* kPhoneTableName = "QLPB.DBF";

// The archive filter of the fax lists (toggled to "" to show archived faxes too).
inline constexpr const char* kArchiveFilter = ".not. archived";
inline constexpr const char* kNotDeletedFilter = ".not. deleted()";

// Schemas (field order as stored) and tags (creation order).
const std::vector<xb::FieldSpec>& OutgoingFields();
const std::vector<xb::FieldSpec>& ReceivedFields();
const std::vector<xb::FieldSpec>& PhoneFields();
const std::vector<xb::TagDefinition>& OutgoingTags();
const std::vector<xb::TagDefinition>& ReceivedTags();
const std::vector<xb::TagDefinition>& PhoneTags();

// Engine-wide start: deleted rows hidden, lock time-out 1 s, property 1009 = 0.
// False (with the message in *error) when the engine reports no version.
bool StartTableSession(std::string* error = nullptr);

// Open steps (folder defaults to the data folder). The outgoing and received tables open
// exclusively; the phone book exclusively only when asked, else shared. True when the
// table is open, even if building its tags or applying the filter failed afterwards.
bool OpenFaxDBF(xb::TTableEngine& table, std::string_view archiveFilter = kArchiveFilter,
                const std::filesystem::path& folder = {});
bool OpenRecFaxDBF(xb::TTableEngine& table, std::string_view archiveFilter = kNotDeletedFilter,
                   const std::filesystem::path& folder = {});
bool OpenPhoneDBF(xb::TTableEngine& table, bool exclusive = false, const std::filesystem::path& folder = {});

// Creation of an empty table (the table's name must be set; the Open functions set it).
// True when creation succeeded and the ".DBF" file exists.
bool MakeFaxDBF(xb::TTableEngine& table);
bool MakeRecFaxDBF(xb::TTableEngine& table);
bool MakePhoneDBF(xb::TTableEngine& table);

// Builds every tag of a table (as at creation) into a fresh index.
int CreateTags(xb::TTableEngine& table, const std::vector<xb::TagDefinition>& tags);

// Rows as the program sees them. Dates are "YYYYMMDD" ("" when blank).
struct OutgoingFax {
  std::string subject, dateSent, timeSent, recipient, phone, lastResult, faxDoc, faxCover, notes, codes;
  bool archived = false;
};
struct ReceivedFax {
  std::string dateRec, timeRec, from;
  int pages = 0;
  std::string faxFile, notes;
  bool archived = false;
};
struct PhoneEntry {
  std::string name, phone;
};
// The fields the fax information editor and the cover-sheet dialog change.
struct FaxInformation {
  std::string recipient, subject, phone, notes, codes;
};

int ReadOutgoing(const xb::TTableEngine& table, OutgoingFax& row);
int ReadReceived(const xb::TTableEngine& table, ReceivedFax& row);
int ReadPhone(const xb::TTableEngine& table, PhoneEntry& row);

// A send result counts as sent when, upper-cased, it is "SENT" or "OK".
bool IsSentResult(std::string_view lastResult);

// Moves back to a remembered row number; errors are ignored (the row may be gone).
void ReturnToRow(xb::TTableEngine& table, uint32_t recno);

// Outgoing table.
int AppendCoverSheet(xb::TTableEngine& out, const FaxInformation& info, std::string_view faxCover);
int WriteCoverSheet(xb::TTableEngine& out, const FaxInformation& info, std::string_view faxCover);
int AppendDriverFax(xb::TTableEngine& out, std::string_view faxDoc, std::string_view recipient,
                    std::string_view subject, std::string_view phone);
// Appends a copy of `source` with its new fax file names; SUBJECT gets "[clone]" in front.
int AppendClone(xb::TTableEngine& out, const OutgoingFax& source, std::string_view newFaxDoc,
                std::string_view newFaxCover);
int AppendForward(xb::TTableEngine& out, const FaxInformation& info, std::string_view faxDoc);
int WriteFaxInformation(xb::TTableEngine& out, const FaxInformation& info);
// LASTRESULT; for a sent result also DATESENT and TIMESENT ("hh:mm") from `when`.
int RecordSendResult(xb::TTableEngine& out, std::string_view lastResult, std::time_t when = std::time(nullptr));
int ClearFaxCover(xb::TTableEngine& out);
int ClearFaxDoc(xb::TTableEngine& out);

// Received table.
int AppendReceivedFax(xb::TTableEngine& rec, std::string_view from, int pages, std::string_view faxFile,
                      std::time_t when = std::time(nullptr));
int WriteReceivedNotes(xb::TTableEngine& rec, std::string_view notes);

// Phone book.
int AppendPhoneEntry(xb::TTableEngine& book, const PhoneEntry& entry);
int WritePhoneEntry(xb::TTableEngine& book, const PhoneEntry& entry);

// Any table.
int ToggleArchived(xb::TTableEngine& table);
int DeleteRow(xb::TTableEngine& table);  // marks the row deleted

// Rebuild of one table: closes its indexes, deletes the index file, packs the table and
// creates every tag again; the current order (by tag name) is kept. `step` is told before
// each of the two steps starts (for the window's status line); progress of each step,
// 0 to 100, goes to the engine's gauge hook.
enum class RebuildStep { Packing, Indexing };
int RebuildTable(xb::TTableEngine& table, const std::vector<xb::TagDefinition>& tags,
                 const std::function<void(RebuildStep)>& step = {});

}  // namespace ql
