#pragma once
// Page data on its way to the modem. Bytes go straight into the port's output buffer
// while it has room; what does not fit waits in the session, in order, and goes first
// at the next chance, so a long header row or a block full of doubled DLEs never fails
// a write and nothing is lost or reordered.
//
// The header line and text covers are drawn here: each row of the fax font is drawn
// into a raster line, coded as a T.4 scan line and padded to the minimum line time.

#include <string>
#include <string_view>

#include "fax_document/sources/fax_font.h"

namespace ql {

struct SendSession;

// Queues bytes that are already DLE-stuffed.
void QueueOutput(SendSession& s, std::string_view bytes);
// Writes what waits, as far as the buffer takes it; true when nothing waits any more.
bool FlushPendingOutput(SendSession& s);
// Bytes not yet sent: in the output buffer and waiting in the session.
int BytesWaiting(SendSession& s);

// The coded all-white scan line of the page's width.
std::string WhiteScanLine(SendSession& s);
// Draws one line of text in a font, row by row, as coded scan lines (DLE-stuffed).
std::string TextLineRows(SendSession& s, const FaxFont& font, const std::string& text);
// Draws one line of text and queues its rows.
void QueueTextLine(SendSession& s, const FaxFont& font, const std::string& text);
// The eight white lines and the header line (expanded) that start every page. They are
// drawn whole before any of them is queued, so the modem never waits for a row being
// drawn and needs no fill bytes to bridge it: every byte the page starts with is a row.
int QueuePageHeader(SendSession& s);

}  // namespace ql
