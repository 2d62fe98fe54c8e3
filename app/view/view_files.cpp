#include "app/view/view_files.h"

#include "app/settings/work_folders.h"
#include "fax_document/apf/apf_append.h"
#include "fax_document/apf/apf_file.h"
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

// The page count of an APF file, 0 when it cannot be read.
unsigned PagesIn(const std::filesystem::path& file) {
  ApfFileHeader header;
  return ReadApfFileHeader(file, header) < 0 ? 0 : header.PageCount;
}

}  // namespace

TViewFiles::TViewFiles() = default;

TViewFiles::~TViewFiles() { Remove(); }

void TViewFiles::Remove() {
  normaliser_.reset();
  RemoveQuietly(body_);
  RemoveQuietly(cover_);
  shown_.clear();
  coverPages_ = finalPages_ = 0;
  result_ = 0;
}

int TViewFiles::WriteShown() {
  std::vector<TApfPages> parts;
  if (!cover_.empty()) parts.push_back(TApfPages{cover_, 1, coverPages_});
  unsigned normalised = 0;
  if (normaliser_) {
    for (const auto& page : normaliser_->PageFiles()) parts.push_back(TApfPages{page});
    normalised = normaliser_->PagesDone();
    // The pages not made yet stand in as they are stored.
    if (!normaliser_->Done()) parts.push_back(TApfPages{normaliser_->Source(), normalised + 1});
  }
  if (const int rc = JoinApfPages(parts, shown_); rc < 0) return rc;
  finalPages_ = coverPages_ + normalised;
  return 0;
}

bool TViewFiles::Pending() const { return normaliser_ && !normaliser_->Done() && result_ >= 0; }

bool TViewFiles::Step() {
  if (!Pending()) return false;
  result_ = normaliser_->NormaliseNextPage();
  if (result_ >= 0 && normaliser_->Done()) {
    result_ = WriteShown();
    normaliser_.reset();
  }
  return Pending();
}

int TViewFiles::Finish() {
  while (Step()) {
  }
  return result_;
}

TViewPrepared TViewFiles::PrepareReceived(const ReceivedFax& row) {
  Remove();
  const std::filesystem::path source = ExistingRowFile(ReceiveFolder(), row.faxFile);
  if (source.empty()) return TViewPrepared::vpNothing;
  // Pages are made in idle steps of the viewer's event loop, so they let no messages
  // through themselves.
  normaliser_ = std::make_unique<TFaxNormaliser>(source, AppFolderPath(), false);
  if (normaliser_->Start() < 0 || normaliser_->NormaliseNextPage() < 0) {
    Remove();
    return TViewPrepared::vpOpenError;
  }
  body_ = shown_ = NextFreeWorkName("FAX");
  if (WriteShown() < 0) {
    Remove();
    return TViewPrepared::vpOpenError;
  }
  if (!Pending()) normaliser_.reset();
  return TViewPrepared::vpReady;
}

TViewPrepared TViewFiles::PrepareOutgoing(const OutgoingFax& row) {
  Remove();
  const std::filesystem::path body = ExistingRowFile(SendFolder(), row.faxDoc);
  if (!body.empty()) {
    normaliser_ = std::make_unique<TFaxNormaliser>(body, AppFolderPath(), false);
    if (normaliser_->Start() < 0) {
      Remove();
      return TViewPrepared::vpOpenError;
    }
  }
  const std::filesystem::path cover = ExistingRowFile(SendFolder(), row.faxCover);
  if (!cover.empty()) {
    cover_ = NextFreeWorkName("FAX");
    if (!CopyFaxFile(cover, cover_)) cover_.clear();
    coverPages_ = cover_.empty() ? 0 : PagesIn(cover_);
  }
  if (!normaliser_) {
    // The cover alone, unchanged.
    shown_ = cover_;
    finalPages_ = coverPages_;
    return shown_.empty() ? TViewPrepared::vpNothing : TViewPrepared::vpReady;
  }
  if (cover_.empty()) {
    // The body alone: its first page is made before it is shown.
    if (normaliser_->NormaliseNextPage() < 0) {
      Remove();
      return TViewPrepared::vpOpenError;
    }
    body_ = NextFreeWorkName("FAX");
  }
  // One fax: the cover's pages first, then the body's.
  shown_ = cover_.empty() ? body_ : cover_;
  if (WriteShown() < 0) {
    Remove();
    return TViewPrepared::vpOpenError;
  }
  if (!Pending()) normaliser_.reset();
  return TViewPrepared::vpReady;
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
