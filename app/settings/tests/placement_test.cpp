#include "app/settings/placement.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

TEST(Placement, SectionNameCarriesTheResolutionAbove96) {
  EXPECT_EQ(PlacementSection("TMainScreen", 96), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSection("TMainScreen", 72), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSection("TMainScreen", 120), "TMainScreen_Placement120");
}

TEST(Placement, RoundTripAndMissingValuesKeepTheCurrentOnes) {
  testing::TempDir dir;
  IniFile ini(dir / "QL.INI");
  TPlacement p{{10, 20, 810, 620}, true};
  WritePlacement(ini, "TViewer_Placement", p);
  ASSERT_TRUE(ini.Save());
  const IniFile back(dir / "QL.INI");
  const TPlacement read = ReadPlacement(back, "TViewer_Placement", {});
  EXPECT_EQ(read.Rect, p.Rect);
  EXPECT_TRUE(read.Maximized);
  const TPlacement current{{1, 2, 3, 0}, false};
  const TPlacement none = ReadPlacement(back, "Other_Placement", current);
  EXPECT_EQ(none.Rect, current.Rect);
  EXPECT_FALSE(HasStoredRect(none));
}

TEST(Placement, RectangleBeyondTheScreenIsShiftedWithItsSizeKept) {
  const TRect r = ShiftIntoScreen({900, 700, 1400, 1000}, 1280, 800);
  EXPECT_EQ(r, (TRect{780, 500, 1280, 800}));
  EXPECT_EQ(r.Width(), 500);
  EXPECT_EQ(ShiftIntoScreen({0, 0, 100, 100}, 1280, 800), (TRect{0, 0, 100, 100}));
}

TEST(Placement, CentringTruncatesTowardZeroAndMayBeNegative) {
  EXPECT_EQ(CenterOffset(101, 50), 25);
  EXPECT_EQ(CenterOffset(50, 101), -25);
  EXPECT_EQ(CenterRect({100, 100, 500, 400}, 200, 100), (TRect{200, 200, 400, 300}));
}

}  // namespace
}  // namespace ql
