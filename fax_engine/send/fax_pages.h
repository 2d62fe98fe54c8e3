#pragma once
// The pages a send session takes from its files: the fax file (APF) and the cover (an
// APF file, or a text file drawn with the fax font).

#include <string>

namespace ql {

struct SendSession;

// Opens an APF file to send (the fax file or an APF cover) and reads its file header:
// -8001 when it is not an APF file, or the file error.
int OpenApf(SendSession& s, const std::string& path);
void CloseApf(SendSession& s);
void CloseTextCover(SendSession& s);

// Finds a page of the open APF file and reads its page header: whether it is stored as
// line records, and its resolution. A page whose resolution differs from the one before
// reports -8082; the fax goes on.
int ReadPageHeader(SendSession& s, unsigned page);

// Opens the named cover: an APF cover at its first page, a text cover for reading with
// the large fax font loaded.
int OpenCover(SendSession& s);
// The cover counts as APF when its name has the fax file extension.
bool CoverIsApf(const SendSession& s);

// After a page: leaves the cover for the first page of the fax file, or goes to the
// next page.
int AdvanceToNextPage(SendSession& s);
// A page the far machine rejected is sent again from its own start: its page header is
// read again (a text cover is opened again in its turn).
int RewindPage(SendSession& s);

// A fax file is named and a page follows the current one.
bool MorePagesFollow(const SendSession& s);

}  // namespace ql
