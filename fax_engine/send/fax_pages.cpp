#include "fax_engine/send/fax_pages.h"

#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_document/apf/file_errors.h"
#include "platform/text.h"
#include "serial/errors/error_codes.h"

namespace ql {

int OpenApf(SendSession& s, const std::string& path) {
  const int rc = s.file.Open(path);
  if (rc < 0) return rc;
  s.modem.fileHeader = s.file.FileHeader();
  return 0;
}

void CloseApf(SendSession& s) { s.file.Close(); }

void CloseTextCover(SendSession& s) {
  if (s.textCover != nullptr) std::fclose(s.textCover);
  s.textCover = nullptr;
  s.modem.textFileOpen = false;
}

int ReadPageHeader(SendSession& s, unsigned page) {
  ApfPageHeader header;
  if (const int rc = s.file.LocatePage(page, header); rc < 0) return rc;
  FaxModemData& m = s.modem;
  m.pageHeader = header;
  m.hasLengthWords = header.LineRecords();
  m.previousResolution = m.pageResolution;
  m.pageResolution = header.HighRes() ? '1' : '0';
  if (m.previousResolution != ' ' && m.previousResolution != m.pageResolution) {
    // Only a warning: the error message goes out, but the fax is not failed by it.
    const int kept = s.common.LastError;
    ReportError(s, ecFaxMixedResolution);
    s.common.LastError = kept;
  }
  return 0;
}

bool CoverIsApf(const SendSession& s) {
  return ToUpperAscii(s.common.coverFile).find("." + ToUpperAscii(s.common.FaxFileExt)) != std::string::npos;
}

int OpenCover(SendSession& s) {
  if (s.modem.coverIsApf) {
    if (const int rc = OpenApf(s, s.common.coverFile); rc < 0) return rc;
    return ReadPageHeader(s, 1);
  }
  CloseTextCover(s);
  s.textCover = std::fopen(s.common.coverFile.c_str(), "r");
  if (s.textCover == nullptr) return LastFileErrorCode();
  s.modem.textFileOpen = true;
  return s.largeFont.Load(kStandardFontGlyphBytes, s.modem.pageResolution == '1');
}

int AdvanceToNextPage(SendSession& s) {
  s.retransmissions = 0;
  if (s.common.SendingCover) {
    if (s.modem.coverIsApf) CloseApf(s);
    CloseTextCover(s);
    if (const int rc = OpenApf(s, s.common.faxFile); rc < 0) return rc;
    s.common.SendingCover = false;
    s.common.coverFile.clear();
  } else {
    ++s.common.currentPage;
    s.common.bytesTransferred = 0;
  }
  return ReadPageHeader(s, static_cast<unsigned>(s.common.currentPage));
}

int RewindPage(SendSession& s) {
  s.common.bytesTransferred = 0;
  s.pendingOutput.clear();
  if (s.common.SendingCover && !s.modem.coverIsApf) {
    CloseTextCover(s);
    return 0;
  }
  return ReadPageHeader(s, s.common.SendingCover ? 1u : static_cast<unsigned>(s.common.currentPage));
}

bool MorePagesFollow(const SendSession& s) {
  return !s.common.faxFile.empty() && (s.common.SendingCover || s.common.currentPage < s.common.totalPages);
}

}  // namespace ql
