#pragma once
// Header-line tokens: "$" and the letters after it, up to the next space, are replaced
// by a value of the session, chosen by the first letter (case does not matter):
//   D date, T time, I own station ID, N pages in all (cover included), P this page,
//   F sender, R recipient, S subject (title); any other letter, or none, removes the token.
// So "$Page" and "$P" are both the page number. Text a token is replaced by is not
// looked at again, so a "$" in a value (a title such as "$5 off") stays as it is.

#include <ctime>
#include <string>

namespace ql {

struct FaxSession;

std::string ExpandHeader(const FaxSession& s, const std::string& text);
// The same at a given moment (for tests).
std::string ExpandHeaderAt(const FaxSession& s, const std::string& text, std::time_t now);

// The page number the header shows: the current page without a cover, "1" while the
// cover is sent, the current page + 1 after it.
int HeaderPageNumber(const FaxSession& s);

}  // namespace ql
