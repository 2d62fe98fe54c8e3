#pragma once
// Preparing a fax row for viewing: the fax is never shown from its stored file. A
// temporary copy is made in the data folder ("FAX" + five digits + ".APF"), normalised
// as for sending; an outgoing fax with a cover sheet becomes one fax whose first pages
// are the cover's. The copies are deleted when the viewer closes. No Qt here.
//
// So that a long fax opens at once, only the first page is made before the copy can be
// shown: the copy then holds that page final and the other pages as they are stored,
// and Step() normalises the rest a page at a time, writing the finished copy over it
// when the last page is done.

#include <filesystem>
#include <memory>
#include <string>

#include "app/fax_store/fax_store.h"

namespace ql {

class TFaxNormaliser;

enum class TViewPrepared { vpReady, vpOpenError, vpNothing };

// The temporary files of one view; the destructor deletes them (errors ignored).
class TViewFiles {
 public:
  TViewFiles();
  ~TViewFiles();
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

  // The leading pages of the shown file that are final already; all of them once
  // Pending() is false.
  unsigned FinalPages() const { return finalPages_; }
  // Pages are left to normalise.
  bool Pending() const;
  // Normalises one more page; after the last one the finished copy replaces the shown
  // file. False when nothing is left to do (done, or failed: see Result()).
  bool Step();
  // Does every step left; the result.
  int Finish();
  // 0, or the error that stopped the preparation (the shown file then stays as it was).
  int Result() const { return result_; }

 private:
  // Writes the shown file from the pages final so far and the stored ones after them.
  int WriteShown();
  std::filesystem::path body_;
  std::filesystem::path cover_;
  std::filesystem::path shown_;
  unsigned coverPages_ = 0;
  unsigned finalPages_ = 0;
  std::unique_ptr<TFaxNormaliser> normaliser_;
  int result_ = 0;
};

// The viewer's title for a row: what the printed header carries and the prefix of the
// view window's status line. "Fax printout" when the row gives nothing.
std::string ReceivedViewTitle(const ReceivedFax& row);
std::string OutgoingViewTitle(const OutgoingFax& row);

}  // namespace ql
