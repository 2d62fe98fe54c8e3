#pragma once
// The printer-driver pickup: every fax the driver dropped into the send folder (NAME.APF
// with its descriptor NAME.ORQ) becomes an outgoing row, and its descriptor goes away.
// The fax file stays in the send folder as the row's body.
//
// A pair is left as it is, to be tried again at the next activation, when its fax is
// missing or not finished yet, when its descriptor has fewer than three lines, or when the
// row cannot be written. A fax without descriptor is never taken.

#include <filesystem>
#include <functional>

#include "table_engine/table_engine.h"

namespace ql {

// What became of one dropped fax.
enum class TPickup { puTaken, puLeft };

// Records the fax at `apf` (its descriptor is the same name with ".ORQ", in any case) as a
// new row of the outgoing table.
TPickup ProcessPDFaxFile(xb::TTableEngine& out, const std::filesystem::path& apf);

// Picks up every descriptor in the send folder. When any was found, `reopen` closes and
// reopens the outgoing table (as after every append) and the result is true.
bool ProcessExtraPDFaxFiles(xb::TTableEngine& out, const std::filesystem::path& sendFolder,
                            const std::function<void()>& reopen);

}  // namespace ql
