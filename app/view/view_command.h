#pragma once
// The view and print command of the fax desk: shows the fax of a row in the fax view
// window, from where it can be printed. The fax is prepared into temporary files first
// (see view_files.h), shown modally, and the files are deleted when the window closes.

#include "app/fax_store/fax_store.h"

class QMainWindow;

namespace ql {

class TFaxViewer;

// Which row to show: a received row, or an outgoing one.
struct TViewSubject {
  bool received = false;
  ReceivedFax receivedRow;
  OutgoingFax outgoingRow;
};

// Runs the command over `desk` (its status bar tells the progress; its button bar is
// disabled meanwhile). `shown`, when given, sees the view window once it is set up,
// before it is shown (tests, screenshots).
void ViewFax(QMainWindow& desk, const TViewSubject& subject, void (*shown)(TFaxViewer&) = nullptr);

}  // namespace ql
