#pragma once
// Turning a monochrome bitmap by quarter turns clockwise, as the viewer shows rotated
// pages. A quarter turn makes the top row the rightmost column and gives a bitmap as
// high as the old one was wide and as wide as it was high; three quarter turns make the
// top row the leftmost column; a half turn reverses the rows and the pixel order and
// keeps the size. Pad bits are white.

#include "fax_document/convert/mono_bitmap.h"

namespace ql {

// turns is taken modulo 4; 0 gives a copy.
TMonoBitmap RotateClockwise(const TMonoBitmap& bitmap, int turns);

}  // namespace ql
