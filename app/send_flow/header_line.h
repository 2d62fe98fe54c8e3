#pragma once
// The header line printed at the top of every page sent: "Page $P of $N, Sent by NAME,
// $I  on 8 Dec 2026 at 06:42pm". The engine fills in $P, $N and $I on each page.

#include <ctime>
#include <string>

namespace ql {

std::string BuildHeader(const std::string& name, const std::string& stationId, std::time_t now);

}  // namespace ql
