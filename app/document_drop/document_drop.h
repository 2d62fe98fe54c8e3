#pragma once
// Documents dropped on the fax desk's outgoing list become outgoing faxes: each dropped
// file (PDF, PostScript, TIFF, a picture, text, ...) is turned into a fax file in the
// send folder and gets a new outgoing row with that file as its body and the document's
// name as its subject.

#include <filesystem>
#include <string>

namespace ql {

class TMainScreen;

// Makes the window's outgoing list take dropped files.
void AcceptDocumentDrops(TMainScreen& desk);

// What a drop does for one file: converts it into a new body in the send folder and
// appends its outgoing row, which becomes the current row. False, with the reason in
// `error`, when the document cannot be read or the row cannot be added; nothing is then
// left in the send folder. `warning` gets what had to be mended to read the document (a
// damaged PDF), empty when nothing.
bool AddDocumentAsOutgoing(TMainScreen& desk, const std::filesystem::path& document, std::string& error,
                           std::string& warning);

}  // namespace ql
