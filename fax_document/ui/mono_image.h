#pragma once
// The edge between the program's monochrome bitmaps and Qt's images: a page bitmap
// shown in two colours, reduced for display with grey levels, or handed to the
// clipboard in black and white.

#include <QColor>
#include <QImage>

#include "fax_document/convert/mono_bitmap.h"

namespace ql {

// A view of the bitmap (no copy: the bitmap must outlive the image) in the given colours.
QImage MonoImageView(const TMonoBitmap& bitmap, QColor foreground, QColor background);

// The bitmap at width x height for the screen. Reductions average every source pixel
// into its target pixel (grey levels between the two colours), so thin lines and small
// print stay readable; enlargements copy pixels (nearest neighbour).
QImage DisplayImage(const TMonoBitmap& bitmap, int width, int height, QColor foreground, QColor background);

// A copy of the bitmap as a black-and-white image.
QImage BlackAndWhiteImage(const TMonoBitmap& bitmap);

// The black pixels of an image (any format; dark pixels count as black) as a bitmap with
// white = 1 bits.
TMonoBitmap MonoFromImage(const QImage& image);

}  // namespace ql
