#pragma once
// Dates and times as the user's locale writes them (LC_TIME, when the program has set
// it from the environment): the short date and the time, for header lines and the fax
// history.

#include <ctime>
#include <string>

namespace ql {

std::string ShortDateText(std::time_t when);
std::string TimeText(std::time_t when);

}  // namespace ql
