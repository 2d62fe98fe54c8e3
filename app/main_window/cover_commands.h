#pragma once
// The cover-sheet commands of the main window: "&New" (a quick fax on a new outgoing
// row), "Add C&over" (a cover sheet for the current row) and "&Edit" on a row that has a
// cover sheet. Attaching them also puts the shipped templates into "Covers/" when missing.

namespace ql {

class TMainScreen;

void AttachCoverCommands(TMainScreen& window);

}  // namespace ql
