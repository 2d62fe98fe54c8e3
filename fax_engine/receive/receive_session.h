#pragma once
// The receive direction's part of a session: the machine's state, the run options the
// receive component sets, and what one call needs while it lasts (the file being
// received, the page data taker, the check of each page's rows).

#include <cstdint>

#include "fax_engine/receive/page_data_taker.h"
#include "fax_engine/receive/received_file.h"
#include "fax_engine/receive/row_check.h"
#include "fax_engine/session/session_records.h"

namespace ql {

// Where the next page goes (the page disposition).
enum PageDisposition : uint8_t {
  pdNextFile = 3,     // no file yet for this document: the next page starts one
  pdSameFile = 2,     // the next page goes into the current file
  pdDocumentEnd = 4,  // the far machine ended the document
};

struct ReceiveSession : FaxSession {
  ReceiveSession();
  ~ReceiveSession() override;

  uint8_t state = 1;  // the run always starts in state 1
  bool OneFax = false;
  bool ConstantStatus = false;
  bool announcedStart = false;  // the first status of the run (or call) went out
  uint8_t pageDisposition = pdNextFile;
  bool aborted = false;         // this entry is the component's cancel

  // The call under way.
  bool accepted = false;        // the component took the call
  ReceivedFile file;            // the fax being received
  PageDataTaker taker;
  RowCheck rows;                // Class 1: the page's rows, for its answer
  bool pageRejected = false;    // Class 1: the page just received is answered RTN
  int32_t trainingBytes = 0;    // the training check: bytes and non-zero bytes
  int32_t trainingNonZero = 0;
  int32_t lastRingTick = 0;     // when the last ring came, in ticks
  EventTimer pageTimer;         // the longest a page may take
};

}  // namespace ql
