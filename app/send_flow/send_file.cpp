#include "app/send_flow/send_file.h"

#include <system_error>

#include "app/fax_store/fax_store.h"
#include "app/settings/work_folders.h"
#include "fax_document/apf/apf_append.h"
#include "fax_document/components/fax_normalise.h"
#include "platform/file_names.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

// The stored name as a file of the send folder, or empty when none is stored or the
// file is missing. A stored name never reaches outside the folder.
fs::path StoredFile(const std::string& name) {
  if (name.empty()) return {};
  const fs::path path = ResolveIgnoringCase(SendFolder(), BareFileName(name));
  std::error_code ec;
  return fs::is_regular_file(path, ec) ? path : fs::path();
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

}  // namespace

TPrepareResult PrepareSendFile(const OutgoingFax& row, fs::path& sendFile) {
  sendFile.clear();
  fs::path body, cover;
  if (const fs::path doc = StoredFile(row.faxDoc); !doc.empty()) {
    body = NextFreeWorkName("FAX");
    if (NormaliseFax(doc, body, AppFolderPath()) < 0) {
      RemoveQuietly(body);
      return TPrepareResult::prBodyUnreadable;
    }
  }
  if (const fs::path stored = StoredFile(row.faxCover); !stored.empty()) {
    cover = NextFreeWorkName("FAX");
    std::error_code ec;
    if (!fs::copy_file(stored, cover, fs::copy_options::overwrite_existing, ec)) cover.clear();
  }
  if (!body.empty() && !cover.empty()) {
    const int appended = AppendApf(cover, body);
    RemoveQuietly(body);
    if (appended < 0) {
      RemoveQuietly(cover);
      return TPrepareResult::prBodyUnreadable;
    }
    sendFile = cover;
  } else if (!cover.empty()) {
    sendFile = cover;
  } else if (!body.empty()) {
    sendFile = body;
  } else {
    return TPrepareResult::prNothingToSend;
  }
  return TPrepareResult::prReady;
}

std::string FaxDescription(const std::string& recipient, const std::string& subject) {
  std::string text;
  if (!recipient.empty()) text = "To: " + recipient + " ";
  if (!subject.empty()) text += (text.empty() ? "Subject: " : ",   Subject: ") + subject;
  return text;
}

}  // namespace ql
