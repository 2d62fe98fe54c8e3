#pragma once
// The one file a send (or a view) hands to the engine: the cover sheet's pages first,
// then the body's, each page recoded the normal way, in a temporary file of the data
// folder that the caller deletes afterwards.

#include <filesystem>
#include <string>

namespace ql {

struct OutgoingFax;

enum class TPrepareResult { prReady, prBodyUnreadable, prNothingToSend };

// Prepares the send file of an outgoing row (its FAXDOC and FAXCOVER in the send
// folder). A FAXDOC or FAXCOVER naming a missing file is skipped. On prReady `sendFile`
// names the temporary file; otherwise no temporary file is left.
TPrepareResult PrepareSendFile(const OutgoingFax& row, std::filesystem::path& sendFile);

// "To: RECIPIENT Subject: SUBJECT" as the send dialog's caption and the viewer's title use it.
std::string FaxDescription(const std::string& recipient, const std::string& subject);

}  // namespace ql
