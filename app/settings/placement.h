#pragma once
// Window placements kept in "QL.INI", and the arithmetic of placing and centring
// windows. The window glue calls these with the numbers of real windows and screens.

#include <filesystem>
#include <string>

namespace ql {

class IniFile;

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

struct TPlacement {
  TRect Rect;             // the restored (not maximised) rectangle
  bool Maximized = false;
};

// Section of a window class: class name + "_Placement", followed by the logical
// resolution when it is above 96 dots per inch ("TMainScreen_Placement120").
std::string PlacementSection(const std::string& className, int logicalDpi);

// Reads a placement; every missing value keeps the one in current.
TPlacement ReadPlacement(const IniFile& ini, const std::string& section, const TPlacement& current);
void WritePlacement(IniFile& ini, const std::string& section, const TPlacement& placement);

// Moves a rectangle left and up so that it does not pass the right and bottom edges of
// a screen of the given size; its size stays.
TRect ShiftIntoScreen(TRect rect, int screenWidth, int screenHeight);

// Where a window goes when a stored placement is restored: the stored rectangle shifted
// into the screen, or nothing (so the caller centres it) when nothing is stored
// (Bottom is 0).
bool HasStoredRect(const TPlacement& placement);

// Offset that centres an extent inside an outer extent: (outer - inner) / 2, truncated
// toward zero, and negative when the window is the larger.
int CenterOffset(int outerExtent, int innerExtent);

// The rectangle of a window of the given size centred on outer.
TRect CenterRect(const TRect& outer, int width, int height);

}  // namespace ql
