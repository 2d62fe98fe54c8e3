#pragma once
// Fonts of cover templates. A template names the fonts its author laid it out with
// ("Arial", "Times New Roman", "Courier New"); fontconfig maps each name to an installed
// font, which for these names is a metric-compatible free one (Liberation Sans, Serif,
// Mono), so drawn texts keep the widths the author saw. A name fontconfig cannot place,
// or no name, falls back to a sans font.

#include <QFont>
#include <QString>
#include <string>

namespace ql {

struct TCoverItem;

// The installed family that stands in for a template's font name.
QString CoverFontFamily(const std::string& templateFontName);

// Template font sizes are points laid out at 96 pixels per inch, whatever the screen.
int CoverFontPixels(int points);

// The font of an item: family, size, bold, italic, underline; drawn without smoothing,
// since the page is black and white.
QFont CoverFont(const TCoverItem& item);

}  // namespace ql
