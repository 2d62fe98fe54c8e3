#pragma once
// Sending from the fax desk: the main window's Send command. It prepares the current
// outgoing row's send file, runs the Send Fax dialog, takes the dialog's settings back,
// records the result in the row and deletes the send file; with the report setting on,
// each finished send leaves a transmission report.

namespace ql {

class TMainScreen;

void SendCurrentFax(TMainScreen& desk);

// Opens the newest transmission report of the current outgoing row (a box says when
// there is none).
void OpenLastReport(TMainScreen& desk);

}  // namespace ql
