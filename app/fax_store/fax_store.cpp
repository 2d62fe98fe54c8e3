#include "app/fax_store/fax_store.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/settings/work_folders.h"
#include "platform/file_names.h"
#include "platform/text.h"
#include "table_engine/table_errors.h"

namespace ql {
namespace {

using xb::FieldSpec;
using xb::OpenMode;
using xb::TagDefinition;
using xb::TTableEngine;
using xb::xbOK;

constexpr const char* kTagCondition = ".not. deleted()";

std::filesystem::path FolderOr(const std::filesystem::path& folder) { return folder.empty() ? AppFolderPath() : folder; }

// Writes several fields of the current row, then the row itself.
int WriteFields(TTableEngine& t, std::initializer_list<std::pair<const char*, std::string_view>> fields) {
  for (const auto& [name, value] : fields)
    if (const int rc = t.Replace(name, value); rc != xbOK) return rc;
  return t.PutRecord();
}

int AppendWithFields(TTableEngine& t, std::initializer_list<std::pair<const char*, std::string_view>> fields) {
  if (const int rc = t.AppendBlank(); rc != xbOK) return rc;
  return WriteFields(t, fields);
}

std::string Stamp(std::time_t when, const char* format) {
  std::tm tm{};
  ::localtime_r(&when, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

// The open steps shared by the three tables.
bool OpenTable(TTableEngine& t, const std::filesystem::path& path, OpenMode mode, bool (*make)(TTableEngine&),
               const std::vector<TagDefinition>& tags) {
  t.Close();
  t.SetTableName(path);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !make(t)) return false;
  if (t.Open(mode) != xbOK) return false;
  if (!t.HasIndex()) CreateTags(t, tags);
  return true;
}

std::string Get(const TTableEngine& t, const char* field) {
  std::string v;
  t.GetString(field, v);
  return v;
}

std::string GetDate(const TTableEngine& t, const char* field) {
  std::string v;
  t.GetDateString(field, v);
  return v;
}

bool GetBool(const TTableEngine& t, const char* field) {
  bool v = false;
  t.GetLogical(field, v);
  return v;
}

}  // namespace

const std::vector<FieldSpec>& OutgoingFields() {
  static const std::vector<FieldSpec> fields = {
      {"SUBJECT", 'C', 50, 0},    {"DATESENT", 'D', 8, 0}, {"TIMESENT", 'C', 5, 0},  {"RECIPIENT", 'C', 35, 0},
      {"PHONE", 'C', 25, 0},      {"LASTRESULT", 'C', 100, 0}, {"FAXDOC", 'C', 12, 0}, {"FAXCOVER", 'C', 12, 0},
      {"NOTES", 'C', 50, 0},      {"CODES", 'C', 25, 0},   {"ARCHIVED", 'L', 1, 0}};
  return fields;
}

const std::vector<FieldSpec>& ReceivedFields() {
  static const std::vector<FieldSpec> fields = {{"DATEREC", 'D', 8, 0}, {"TIMEREC", 'C', 5, 0}, {"FROM", 'C', 20, 0},
                                                {"PAGES", 'N', 2, 0},   {"FAXFILE", 'C', 12, 0}, {"NOTES", 'C', 60, 0},
                                                {"ARCHIVED", 'L', 1, 0}};
  return fields;
}

const std::vector<FieldSpec>& PhoneFields() {
  static const std::vector<FieldSpec> fields = {{"NAME", 'C', 35, 0}, {"PHONE", 'C', 25, 0}};
  return fields;
}

const std::vector<TagDefinition>& OutgoingTags() {
  static const std::vector<TagDefinition> tags = {{"DATESENT", "DTOS(DATESENT)+TIMESENT", kTagCondition, true},
                                                  {"SUBJECT", "UPPER(SUBJECT)", kTagCondition, false},
                                                  {"RECIPIENT", "UPPER(RECIPIENT)", kTagCondition, false},
                                                  {"CODES", "UPPER(CODES)", kTagCondition, false},
                                                  {"ARCHIVED", "ARCHIVED", kTagCondition, false}};
  return tags;
}

const std::vector<TagDefinition>& ReceivedTags() {
  static const std::vector<TagDefinition> tags = {{"DATETIME", "DTOS(DATEREC)+TIMEREC", kTagCondition, true},
                                                  {"FROM", "UPPER(FROM)", kTagCondition, true},
                                                  {"ARCHIVED", "ARCHIVED", kTagCondition, false}};
  return tags;
}

const std::vector<TagDefinition>& PhoneTags() {
  static const std::vector<TagDefinition> tags = {{"NAME", "NAME", kTagCondition, false}};
  return tags;
}

bool StartTableSession(std::string* error) {
  if (xb::TTableEngineEnv::Version().empty()) {
    if (error) *error = "Database Engine Requires XBENGINE.DLL Version 2.40.00 or later.";
    return false;
  }
  xb::TTableEngineEnv& env = xb::Env();
  env.SetDeleted(true);
  env.SetLockTimeout(1);
  env.SetSysProp(1009, 0);
  return true;
}

bool MakeFaxDBF(TTableEngine& t) { return t.CreateTable(OutgoingFields()) == xbOK; }
bool MakeRecFaxDBF(TTableEngine& t) { return t.CreateTable(ReceivedFields()) == xbOK; }
bool MakePhoneDBF(TTableEngine& t) { return t.CreateTable(PhoneFields()) == xbOK; }

int CreateTags(TTableEngine& t, const std::vector<TagDefinition>& tags) {
  for (const TagDefinition& tag : tags)
    if (const int rc = t.IndexTag(tag); rc != xbOK) return rc;
  return xbOK;
}

bool OpenFaxDBF(TTableEngine& t, std::string_view archiveFilter, const std::filesystem::path& folder) {
  if (!OpenTable(t, FolderOr(folder) / kOutgoingTableName, OpenMode::Exclusive, MakeFaxDBF, OutgoingTags()))
    return false;
  t.GoTop();
  if (t.Query(archiveFilter) == xbOK) t.GoTop();
  return true;
}

bool OpenRecFaxDBF(TTableEngine& t, std::string_view archiveFilter, const std::filesystem::path& folder) {
  if (!OpenTable(t, FolderOr(folder) / kReceivedTableName, OpenMode::Exclusive, MakeRecFaxDBF, ReceivedTags()))
    return false;
  if (t.Query(archiveFilter) == xbOK) t.GoTop();
  return true;
}

bool OpenPhoneDBF(TTableEngine& t, bool exclusive, const std::filesystem::path& folder) {
  if (!OpenTable(t, FolderOr(folder) / kPhoneTableName, exclusive ? OpenMode::Exclusive : OpenMode::Shared,
                 MakePhoneDBF, PhoneTags()))
    return false;
  t.SetOrder(t.TagArea("NAME"));
  if (t.Query(kNotDeletedFilter) == xbOK) t.GoTop();
  return true;
}

int ReadOutgoing(const TTableEngine& t, OutgoingFax& r) {
  if (!t.IsOpen()) return xb::xbNotOpen;
  if (t.Eof()) return xb::xbBadRecord;
  r.subject = Get(t, "SUBJECT");
  r.dateSent = GetDate(t, "DATESENT");
  r.timeSent = Get(t, "TIMESENT");
  r.recipient = Get(t, "RECIPIENT");
  r.phone = Get(t, "PHONE");
  r.lastResult = Get(t, "LASTRESULT");
  r.faxDoc = Get(t, "FAXDOC");
  r.faxCover = Get(t, "FAXCOVER");
  r.notes = Get(t, "NOTES");
  r.codes = Get(t, "CODES");
  r.archived = GetBool(t, "ARCHIVED");
  return xbOK;
}

int ReadReceived(const TTableEngine& t, ReceivedFax& r) {
  if (!t.IsOpen()) return xb::xbNotOpen;
  if (t.Eof()) return xb::xbBadRecord;
  r.dateRec = GetDate(t, "DATEREC");
  r.timeRec = Get(t, "TIMEREC");
  r.from = Get(t, "FROM");
  r.pages = std::atoi(Get(t, "PAGES").c_str());
  r.faxFile = Get(t, "FAXFILE");
  r.notes = Get(t, "NOTES");
  r.archived = GetBool(t, "ARCHIVED");
  return xbOK;
}

int ReadPhone(const TTableEngine& t, PhoneEntry& r) {
  if (!t.IsOpen()) return xb::xbNotOpen;
  if (t.Eof()) return xb::xbBadRecord;
  r.name = Get(t, "NAME");
  r.phone = Get(t, "PHONE");
  return xbOK;
}

bool IsSentResult(std::string_view lastResult) {
  const std::string upper = ToUpperAscii(lastResult);
  return upper == "SENT" || upper == "OK";
}

void ReturnToRow(TTableEngine& t, uint32_t recno) { t.Go(recno); }

int AppendCoverSheet(TTableEngine& out, const FaxInformation& i, std::string_view faxCover) {
  if (const int rc = out.AppendBlank(); rc != xbOK) return rc;
  return WriteCoverSheet(out, i, faxCover);
}

int WriteCoverSheet(TTableEngine& out, const FaxInformation& i, std::string_view faxCover) {
  const std::string cover = BareFileName(faxCover);
  return WriteFields(out, {{"RECIPIENT", i.recipient}, {"SUBJECT", i.subject}, {"PHONE", i.phone},
                           {"NOTES", i.notes}, {"CODES", i.codes}, {"FAXCOVER", cover}});
}

int AppendDriverFax(TTableEngine& out, std::string_view faxDoc, std::string_view recipient, std::string_view subject,
                    std::string_view phone) {
  const std::string doc = BareFileName(faxDoc);
  return AppendWithFields(out, {{"FAXDOC", doc}, {"RECIPIENT", recipient}, {"SUBJECT", subject}, {"PHONE", phone}});
}

int AppendClone(TTableEngine& out, const OutgoingFax& s, std::string_view newFaxDoc, std::string_view newFaxCover) {
  const std::string doc = BareFileName(newFaxDoc), cover = BareFileName(newFaxCover);
  const std::string subject = "[clone]" + s.subject;
  return AppendWithFields(out, {{"FAXDOC", doc}, {"FAXCOVER", cover}, {"RECIPIENT", s.recipient},
                                {"SUBJECT", subject}, {"PHONE", s.phone}});
}

int AppendForward(TTableEngine& out, const FaxInformation& i, std::string_view faxDoc) {
  const std::string doc = BareFileName(faxDoc);
  return AppendWithFields(out, {{"RECIPIENT", i.recipient}, {"SUBJECT", i.subject}, {"PHONE", i.phone},
                                {"NOTES", i.notes}, {"CODES", i.codes}, {"FAXDOC", doc}});
}

int WriteFaxInformation(TTableEngine& out, const FaxInformation& i) {
  return WriteFields(out, {{"RECIPIENT", i.recipient}, {"SUBJECT", i.subject}, {"PHONE", i.phone},
                           {"NOTES", i.notes}, {"CODES", i.codes}});
}

int RecordSendResult(TTableEngine& out, std::string_view lastResult, std::time_t when) {
  if (!IsSentResult(lastResult)) return WriteFields(out, {{"LASTRESULT", lastResult}});
  const std::string date = Stamp(when, "%Y%m%d"), time = Stamp(when, "%H:%M");
  return WriteFields(out, {{"LASTRESULT", lastResult}, {"DATESENT", date}, {"TIMESENT", time}});
}

int ClearFaxCover(TTableEngine& out) { return WriteFields(out, {{"FAXCOVER", ""}}); }
int ClearFaxDoc(TTableEngine& out) { return WriteFields(out, {{"FAXDOC", ""}}); }

int AppendReceivedFax(TTableEngine& rec, std::string_view from, int pages, std::string_view faxFile, std::time_t when) {
  const std::string date = Stamp(when, "%Y%m%d"), time = Stamp(when, "%H:%M");
  const std::string file = BareFileName(faxFile);
  const std::string pageText = std::to_string(std::clamp(pages, 0, 99));
  return AppendWithFields(rec, {{"DATEREC", date}, {"TIMEREC", time}, {"FROM", from}, {"PAGES", pageText},
                                {"FAXFILE", file}});
}

int WriteReceivedNotes(TTableEngine& rec, std::string_view notes) { return WriteFields(rec, {{"NOTES", notes}}); }

int AppendPhoneEntry(TTableEngine& book, const PhoneEntry& e) {
  return AppendWithFields(book, {{"NAME", e.name}, {"PHONE", e.phone}});
}

int WritePhoneEntry(TTableEngine& book, const PhoneEntry& e) {
  return WriteFields(book, {{"NAME", e.name}, {"PHONE", e.phone}});
}

int ToggleArchived(TTableEngine& t) {
  bool archived = false;
  if (const int rc = t.GetLogical("ARCHIVED", archived); rc != xbOK) return rc;
  return WriteFields(t, {{"ARCHIVED", archived ? "F" : "T"}});
}

int DeleteRow(TTableEngine& t) {
  if (const int rc = t.Delete(); rc != xbOK) return rc;
  return t.Commit();
}

int RebuildTable(TTableEngine& t, const std::vector<TagDefinition>& tags, const std::function<void(RebuildStep)>& step) {
  if (!t.IsOpen()) return xb::xbNotOpen;
  const std::string order = t.TagName(t.IndexOrd());
  if (const int rc = t.CloseIndexes(); rc != xbOK) return rc;
  std::error_code ec;
  std::filesystem::remove(t.IndexName(), ec);
  if (step) step(RebuildStep::Packing);
  if (const int rc = t.Pack(); rc != xbOK) return rc;
  if (step) step(RebuildStep::Indexing);
  if (const int rc = CreateTags(t, tags); rc != xbOK) return rc;
  return t.SetOrder(order.empty() ? 0 : t.TagArea(order));
}

}  // namespace ql
