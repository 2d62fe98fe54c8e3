#include "app/settings/placement.h"

#include "platform/ini_file.h"

namespace ql {

std::string PlacementSection(const std::string& className, int logicalDpi) {
  std::string section = className + "_Placement";
  if (logicalDpi > 96) section += std::to_string(logicalDpi);
  return section;
}

TPlacement ReadPlacement(const IniFile& ini, const std::string& section, const TPlacement& current) {
  TPlacement p;
  p.Rect.Left = ini.ReadInteger(section, "Left", current.Rect.Left);
  p.Rect.Top = ini.ReadInteger(section, "Top", current.Rect.Top);
  p.Rect.Right = ini.ReadInteger(section, "Right", current.Rect.Right);
  p.Rect.Bottom = ini.ReadInteger(section, "Bottom", current.Rect.Bottom);
  p.Maximized = ini.ReadBool(section, "Maximized", current.Maximized);
  return p;
}

void WritePlacement(IniFile& ini, const std::string& section, const TPlacement& placement) {
  ini.WriteInteger(section, "Left", placement.Rect.Left);
  ini.WriteInteger(section, "Top", placement.Rect.Top);
  ini.WriteInteger(section, "Right", placement.Rect.Right);
  ini.WriteInteger(section, "Bottom", placement.Rect.Bottom);
  ini.WriteBool(section, "Maximized", placement.Maximized);
}

TRect ShiftIntoScreen(TRect r, int screenWidth, int screenHeight) {
  if (r.Right > screenWidth) {
    r.Left += screenWidth - r.Right;
    r.Right = screenWidth;
  }
  if (r.Bottom > screenHeight) {
    r.Top += screenHeight - r.Bottom;
    r.Bottom = screenHeight;
  }
  return r;
}

bool HasStoredRect(const TPlacement& placement) { return placement.Rect.Bottom != 0; }

int CenterOffset(int outerExtent, int innerExtent) { return (outerExtent - innerExtent) / 2; }

TRect CenterRect(const TRect& outer, int width, int height) {
  TRect r;
  r.Left = outer.Left + CenterOffset(outer.Width(), width);
  r.Top = outer.Top + CenterOffset(outer.Height(), height);
  r.Right = r.Left + width;
  r.Bottom = r.Top + height;
  return r;
}

}  // namespace ql
