#pragma once
// Brings the fax desk forward after a fax was dropped (ql-print --send-now): a running
// desk of the data folder is asked to come to the front, which also makes it pick the fax
// up; otherwise the desk is started, and picks the fax up at its start.

#include <filesystem>

namespace ql::print {

// `desk` is the desk's program file; empty means ql beside ql-print. False when the desk
// neither answered nor could be started.
bool BringDeskForward(const std::filesystem::path& dataFolder, const std::filesystem::path& desk);

}  // namespace ql::print
