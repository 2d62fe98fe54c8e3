#include "app/view/view_files.h"

#include "app/settings/work_folders.h"
#include "fax_document/apf/apf_append.h"
#include "fax_document/components/fax_normalise.h"
#include "platform/file_names.h"

namespace ql {
namespace {

// A fax file named by a row, in its folder, in whatever case it exists there; empty
// when the row names none or it does not exist.
std::filesystem::path ExistingRowFile(const std::filesystem::path& folder, const std::string& stored) {
  const std::string name = BareFileName(stored);
  if (name.empty()) return {};
  const std::filesystem::path path = ResolveIgnoringCase(folder, name);
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) ? path : std::filesystem::path();
}

void RemoveQuietly(std::filesystem::path& path) {
  if (path.empty()) return;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  path.clear();
}

// Normalises `source` into a new temporary name; false (and no file) on failure.
bool NormaliseInto(const std::filesystem::path& source, std::filesystem::path& target) {
  target = NextFreeWorkName("FAX");
  if (NormaliseFax(source, target, AppFolderPath()) < 0) {
    RemoveQuietly(target);
    return false;
  }
  return true;
}

}  // namespace

void TViewFiles::Remove() {
  RemoveQuietly(body_);
  RemoveQuietly(cover_);
  shown_.clear();
}

TViewPrepared TViewFiles::PrepareReceived(const ReceivedFax& row) {
  Remove();
  const std::filesystem::path source = ExistingRowFile(ReceiveFolder(), row.faxFile);
  if (source.empty()) return TViewPrepared::vpNothing;
  if (!NormaliseInto(source, body_)) return TViewPrepared::vpOpenError;
  shown_ = body_;
  return TViewPrepared::vpReady;
}

TViewPrepared TViewFiles::PrepareOutgoing(const OutgoingFax& row) {
  Remove();
  const std::filesystem::path body = ExistingRowFile(SendFolder(), row.faxDoc);
  if (!body.empty() && !NormaliseInto(body, body_)) return TViewPrepared::vpOpenError;
  const std::filesystem::path cover = ExistingRowFile(SendFolder(), row.faxCover);
  if (!cover.empty()) {
    cover_ = NextFreeWorkName("FAX");
    if (!CopyFaxFile(cover, cover_)) cover_.clear();
  }
  if (!body_.empty() && !cover_.empty()) {
    // One fax: the cover's pages first, then the body's.
    if (AppendApf(cover_, body_) < 0) {
      Remove();
      return TViewPrepared::vpOpenError;
    }
    RemoveQuietly(body_);
  }
  shown_ = !cover_.empty() ? cover_ : body_;
  return shown_.empty() ? TViewPrepared::vpNothing : TViewPrepared::vpReady;
}

std::string ReceivedViewTitle(const ReceivedFax& row) {
  std::string title = row.from;
  if (!row.notes.empty()) title += " - " + row.notes;
  return title.empty() ? "Fax printout" : title;
}

std::string OutgoingViewTitle(const OutgoingFax& row) {
  std::string title;
  if (!row.recipient.empty()) title = "To: " + row.recipient + " ";
  if (!row.subject.empty()) title += (title.empty() ? "Subject: " : ",   Subject: ") + row.subject;
  return title.empty() ? "Fax printout" : title;
}

}  // namespace ql
