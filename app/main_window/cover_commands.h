#pragma once
// The cover-sheet commands of the main window: "&New" (a quick fax on a new outgoing
// row), "Add C&over" (a cover sheet for the current outgoing row) and "&Edit" on an
// outgoing row that has one. Each opens the cover-sheet editor and then shows the row it
// wrote; the shipped templates are put into "Covers/" first when they are missing.

#include <cstdint>

namespace ql {

class TMainScreen;

class TCoverCommands {
 public:
  explicit TCoverCommands(TMainScreen& desk) : desk_(desk) {}

  void NewQuickFax();
  // Add cover and edit cover: the editor on the current outgoing row.
  void EditCoverOfCurrent();

 private:
  void Edit(bool isNew, uint32_t recno);

  TMainScreen& desk_;
};

}  // namespace ql
