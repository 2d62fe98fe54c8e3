#pragma once
// Drawing a cover sheet: the items of a template, in their order, on a white page of
// 1728 x 2156 pixels (a fax page at high resolution). Every position is moved 98 pixels
// right and down; the bottom-right pixel is set black so that the page keeps its full
// size through the converter.

#include <QImage>

#include "app/covers/format/cover_template.h"
#include "app/covers/format/cover_values.h"

namespace ql {

inline constexpr int kCoverPageWidth = 1728;
inline constexpr int kCoverPageHeight = 2156;
inline constexpr int kCoverOffset = 98;

// A white page of the cover size.
QImage NewCoverPage();

// Draws the items on the page; the page's pixels are black or white only.
void DrawCoverItems(QImage& page, const std::vector<TCoverItem>& items, const TCoverValues& values);

// The size of the corner ellipse of a rounded rectangle: max(W, H) x roundness / 100,
// truncated, in both directions.
int CornerEllipse(int32_t width, int32_t height, int32_t roundness);

// The whole page: items of the template (none when it is missing or unreadable; the
// records read before a bad value are drawn) and the corner pixel.
QImage DrawCoverPage(const TCoverTemplate& coverTemplate, const TCoverValues& values);

}  // namespace ql
