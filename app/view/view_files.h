#pragma once
// Preparing a fax row for viewing: the fax is never shown from its stored file. A
// temporary copy is made in the data folder ("FAX" + five digits + ".APF"), normalised
// as for sending; an outgoing fax with a cover sheet becomes one fax whose first pages
// are the cover's. The copies are deleted when the viewer closes. No Qt here.

#include <filesystem>
#include <string>

#include "app/fax_store/fax_store.h"

namespace ql {

enum class TViewPrepared { vpReady, vpOpenError, vpNothing };

// The temporary files of one view; the destructor deletes them (errors ignored).
class TViewFiles {
 public:
  TViewFiles() = default;
  ~TViewFiles() { Remove(); }
  TViewFiles(const TViewFiles&) = delete;
  TViewFiles& operator=(const TViewFiles&) = delete;

  // The file to show (empty when nothing was prepared).
  const std::filesystem::path& Shown() const { return shown_; }
  void Remove();

  // Received row: its FAXFILE in the receive folder, normalised. A missing file
  // prepares nothing.
  TViewPrepared PrepareReceived(const ReceivedFax& row);
  // Outgoing row: the body (FAXDOC) normalised, the cover (FAXCOVER) copied unchanged,
  // the body's pages appended to the cover when both exist.
  TViewPrepared PrepareOutgoing(const OutgoingFax& row);

 private:
  std::filesystem::path body_;
  std::filesystem::path cover_;
  std::filesystem::path shown_;
};

// The viewer's title for a row: what the printed header carries and the prefix of the
// view window's status line. "Fax printout" when the row gives nothing.
std::string ReceivedViewTitle(const ReceivedFax& row);
std::string OutgoingViewTitle(const OutgoingFax& row);

}  // namespace ql
