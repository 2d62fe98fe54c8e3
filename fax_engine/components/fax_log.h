#pragma once
// TFaxLog: the fax history file. On each log event of its fax component it appends the
// lines for the code (CR LF ended), creating the file when it is missing:
//   1 "Transmit FILE to NUMBER started at DATE TIME"
//   2 "Transmit to REMOTEID finished OK at DATE TIME HANGUPCODE", an empty line
//   3 "Transmit failed at DATE TIME", "  (ERROR TEXT) HANGUPCODE", an empty line
//   4 "Receive FILE from REMOTEID started at DATE TIME"
//   5 "Receive finished OK at DATE TIME", an empty line
//   6 "Receive skipped at DATE TIME", an empty line
//   7 "Receive failed at DATE TIME", "  (ERROR TEXT)", an empty line
// Codes 1 to 3 are written only for a send component, 4 to 7 only for a receive
// component. An empty FaxHistoryName writes nothing. A file that cannot be written
// raises EInOutError.

#include <ctime>
#include <string>

#include "fax_engine/session/fax_class.h"

namespace ql {

class TCustomAbstractFax;

class TFaxLog {
 public:
  TFaxLog() = default;
  virtual ~TFaxLog();
  TFaxLog(const TFaxLog&) = delete;
  TFaxLog& operator=(const TFaxLog&) = delete;

  std::string FaxHistoryName() const { return historyName_; }
  void SetFaxHistoryName(const std::string& name) { historyName_ = name; }
  TCustomAbstractFax* Fax() const { return fax_; }
  void SetFax(TCustomAbstractFax* fax);

  virtual void UpdateLog(TFaxLogCode code);

  // The lines of a code for the linked component at a moment, each ended by CR LF.
  std::string LinesFor(TFaxLogCode code, std::time_t now) const;

 private:
  std::string historyName_ = "FAXLOG.HIS";
  TCustomAbstractFax* fax_ = nullptr;
};

}  // namespace ql
