#pragma once
// The commands on fax rows: edit, clone, delete, archive, forward and view. Each remembers the
// row's record number before any modal window and returns to it before it writes, since
// the lists may have moved the table meanwhile. They act on the window's shown list and
// beep when it has no current row or, for the received list, while a fax is coming in.

#include <cstdint>

namespace ql {

class TFaxList;
class TMainScreen;
struct OutgoingFax;
struct ReceivedFax;

class TRowCommands {
 public:
  explicit TRowCommands(TMainScreen& desk) : desk_(desk) {}

  // On the shown list: the received notes or the fax information (or, for a row with a
  // cover sheet, the cover-sheet editor).
  void EditCurrent();
  void EditAPFFax();
  void EditReceivedFax();
  void CloneAPFFax();
  void DeleteCurrent();
  void DeleteFromSend();
  void DeleteFromRec();
  void ArchiveCurrent();
  void ForwardReceived();
  // View/print: the current row's fax in the fax view window.
  void ViewCurrent();

 private:
  // Moves a list's table to its current row; false (after a beep) when it has none or
  // the list waits for an incoming fax.
  bool GoToCurrent(TFaxList& list, uint32_t& recno);
  bool CurrentOutgoing(OutgoingFax& row, uint32_t& recno);
  bool CurrentReceived(ReceivedFax& row, uint32_t& recno);
  TFaxList& Outgoing();
  TFaxList& Received();

  TMainScreen& desk_;
};

}  // namespace ql
