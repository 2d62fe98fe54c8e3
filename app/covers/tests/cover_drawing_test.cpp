// Drawing cover sheets: items on the page, fonts, and the page as a fax, checked against
// libtiff's Group 3 decoder.

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPainter>
#include <chrono>
#include <climits>

#include "app/covers/drawing/cover_fonts.h"
#include "app/covers/drawing/cover_page.h"
#include "app/covers/drawing/cover_painter.h"
#include "app/ui/testing/application.h"
#include "fax_document/apf/apf_file.h"
#include "fax_document/components/fax_unpacker.h"
#include "fax_document/tests/test_pages.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

bool Black(const QImage& page, int x, int y) { return qGray(page.pixel(x, y)) < 128; }

// Black pixels of a page inside a rectangle (the whole page when empty).
int BlackCount(const QImage& page, QRect area = {}) {
  if (area.isNull()) area = page.rect();
  area &= page.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += Black(page, x, y);
  return n;
}

// The smallest rectangle holding every black pixel of the page but the corner mark.
QRect Ink(const QImage& page) {
  QRect ink;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (Black(page, x, y) && !(x == kCoverPageWidth - 1 && y == kCoverPageHeight - 1))
        ink |= QRect(x, y, 1, 1);
  return ink;
}

TCoverTemplate TemplateOf(std::vector<TCoverItem> items) {
  TCoverTemplate t;
  t.Items = std::move(items);
  return t;
}

TCoverItem TextItem(int kind, int x, int y, int size = 24) {
  TCoverItem item;
  item.Kind = kind;
  item.X = x;
  item.Y = y;
  item.FontSize = size;
  return item;
}

TCoverItem BoxItem(int kind, int x, int y, int w, int h) {
  TCoverItem item;
  item.Kind = kind;
  item.X = x;
  item.Y = y;
  item.W = w;
  item.H = h;
  item.PenWidth = 1;
  return item;
}

class CoverDrawing : public ::testing::Test {
 protected:
  CoverDrawing() { testing::EnsureApplication(); }
};

TEST_F(CoverDrawing, TemplateFontsMapToMetricCompatibleFreeFontsAndUnknownOnesToSans) {
  EXPECT_EQ(CoverFontFamily("Arial"), "Liberation Sans");
  EXPECT_EQ(CoverFontFamily("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(CoverFontFamily("Courier New"), "Liberation Mono");
  const QString sans = CoverFontFamily("sans-serif");
  EXPECT_FALSE(sans.isEmpty());
  EXPECT_EQ(CoverFontFamily("No Such Font At All"), sans);
  EXPECT_EQ(CoverFontFamily(""), sans);
  // Widths are those the template's author saw: advance widths of the original faces, in
  // units of an em of 2048 ("W" 1933 and "i" 455 in the sans face, 1229 in the mono face).
  TCoverItem item;
  item.FontSize = 1536;  // kept to the largest size drawn
  for (auto [font, glyph, units] : {std::tuple{"Arial", "W", 1933}, std::tuple{"Arial", "i", 455},
                                     std::tuple{"Times New Roman", "W", 1933}, std::tuple{"Courier New", "i", 1229}}) {
    item.FontName = font;
    QFont f = CoverFont(item);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setPixelSize(2048);
    EXPECT_NEAR(QFontMetricsF(f).horizontalAdvance(QString::fromLatin1(glyph)), units, 2) << font << glyph;
  }
  EXPECT_EQ(CoverFontPixels(20), 27);  // points at 96 pixels per inch
}

TEST_F(CoverDrawing, TheFlagLineIsLeftOutWithoutFlagsAndMarksEachSetFlagInItsBox) {
  const TCoverItem line = TextItem(ikFlagLine, 100, 200);
  TCoverValues values;
  EXPECT_EQ(Ink(DrawCoverPage(TemplateOf({line}), values)), QRect());

  values.Flags[ifUrgent] = true;
  values.Flags[ifPleaseRecycle] = true;
  const QImage flagged = DrawCoverPage(TemplateOf({line}), values);
  TCoverItem text = line;
  text.Kind = ikText;
  text.Text = std::string(kFlagLineText);
  const QImage plain = DrawCoverPage(TemplateOf({text}), TCoverValues{});
  // What the flag line adds to its text are the marks; each starts just after its "[".
  QFont font = CoverFont(line);
  QImage scratch(10, 10, QImage::Format_RGB32);
  QPainter painter(&scratch);
  painter.setFont(font);
  std::vector<int> columns;  // where each run of columns with added pixels begins
  bool before = false;
  for (int x = 0; x < kCoverPageWidth; ++x) {
    bool added = false;
    for (int y = 0; y < kCoverPageHeight && !added; ++y) added = Black(flagged, x, y) && !Black(plain, x, y);
    if (added && !before) columns.push_back(x);
    before = added;
  }
  ASSERT_EQ(columns.size(), 2u);
  for (auto [mark, flag] : {std::pair{0, ifUrgent}, std::pair{1, ifPleaseRecycle}}) {
    const std::string_view prefix = FlagMarkPrefix(flag);
    const int expected = 100 + kCoverOffset +
                         painter.fontMetrics().horizontalAdvance(QString::fromLatin1(prefix.data(), int(prefix.size())));
    EXPECT_GE(columns[mark], expected) << flag;
    EXPECT_LE(columns[mark], expected + 4) << flag;
  }
}

TEST_F(CoverDrawing, RoundnessTenOnTwoHundredByHundredGivesTwentyPixelCorners) {
  TCoverItem box = BoxItem(ikShape, 200, 300, 200, 100);
  EXPECT_EQ(CornerEllipse(200, 100, 10), 20);
  EXPECT_EQ(CornerEllipse(200, 100, 15), 30);  // max(W, H) x roundness / 100, truncated
  for (int shape : {2, 3}) {
    box.ShapeKind = shape;
    box.Roundness = 10;
    const QImage page = DrawCoverPage(TemplateOf({box}), {});
    // The outline's edges, found in the middle of each side.
    const int midX = box.X + kCoverOffset + box.W / 2, midY = box.Y + kCoverOffset + box.H / 2;
    int top = 0, bottom = kCoverPageHeight - 1, left = 0, right = kCoverPageWidth - 1;
    while (!Black(page, midX, top)) ++top;
    while (!Black(page, midX, bottom)) --bottom;
    while (!Black(page, left, midY)) ++left;
    while (!Black(page, right, midY)) --right;
    EXPECT_NEAR(top, box.Y + kCoverOffset, 1);
    EXPECT_NEAR(right - left, box.W, 1);
    EXPECT_NEAR(bottom - top, box.H, 1);
    // Each corner is a quarter of a circle of radius 10 (an ellipse of 20 x 20): along the
    // edge the outline stays within half a pixel of its row from sqrt(10^2 - 9.5^2), about
    // 3 pixels, before the tangent point, so it starts 6 to 10 pixels from the corner (the
    // right and bottom edges meet their curves a pixel apart); and it crosses the corner's
    // diagonal 10 x (1 - 1/sqrt 2), about 3 pixels in. Corners of 10 x 10 would start at 3
    // and cross at 1.5; corners of 40 x 40 at 15 and 6.
    for (auto [cx, cy, dx, dy] : {std::tuple{left, top, 1, 1}, std::tuple{right, top, -1, 1},
                                  std::tuple{left, bottom, 1, -1}, std::tuple{right, bottom, -1, -1}}) {
      int alongX = 0, alongY = 0, diagonal = 0;
      while (alongX < 30 && !Black(page, cx + alongX * dx, cy)) ++alongX;
      while (alongY < 30 && !Black(page, cx, cy + alongY * dy)) ++alongY;
      while (diagonal < 30 && !Black(page, cx + diagonal * dx, cy + diagonal * dy) &&
             !Black(page, cx + (diagonal + 1) * dx, cy + diagonal * dy))
        ++diagonal;
      EXPECT_GE(alongX, 6) << cx << "," << cy;
      EXPECT_LE(alongX, 10) << cx << "," << cy;
      EXPECT_GE(alongY, 6) << cx << "," << cy;
      EXPECT_LE(alongY, 10) << cx << "," << cy;
      EXPECT_GE(diagonal, 2) << cx << "," << cy;
      EXPECT_LE(diagonal, 4) << cx << "," << cy;
    }
    // The edges between the corners are straight and whole.
    for (int x = left + 10; x <= right - 10; ++x) ASSERT_TRUE(Black(page, x, top)) << x;
    for (int y = top + 10; y <= bottom - 10; ++y) ASSERT_TRUE(Black(page, left, y)) << y;
  }
  // Square corners for a plain rectangle; other shape kinds draw nothing.
  box.ShapeKind = skRectangle;
  EXPECT_TRUE(Black(DrawCoverPage(TemplateOf({box}), {}), 200 + kCoverOffset, 300 + kCoverOffset));
  box.ShapeKind = 6;
  EXPECT_EQ(Ink(DrawCoverPage(TemplateOf({box}), {})), QRect());
}

TEST_F(CoverDrawing, ShapesFillLinesRunTheirWayAndTheMessageWrapsInsideItsBox) {
  TCoverItem filled = BoxItem(ikShape, 100, 100, 100, 60);
  filled.ShapeKind = skEllipse;
  filled.Fill = cfBlack;
  TCoverItem rising = BoxItem(ikLine, 400, 100, 100, 100);
  rising.LineDirection = ldRising;
  TCoverItem message = TextItem(ikMessageBox, 100, 400);
  message.W = 300;
  message.H = 200;
  TCoverValues values;
  values.Message = "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen "
                   "sixteen seventeen eighteen nineteen twenty and on and on and on until the box is full";
  const QImage page = DrawCoverPage(TemplateOf({filled, rising, message}), values);
  EXPECT_TRUE(Black(page, 150 + kCoverOffset, 130 + kCoverOffset));      // inside the ellipse
  EXPECT_FALSE(Black(page, 101 + kCoverOffset, 101 + kCoverOffset));     // outside it, in the box corner
  EXPECT_TRUE(Black(page, 400 + kCoverOffset, 200 + kCoverOffset));      // rising: bottom left ...
  EXPECT_TRUE(Black(page, 500 + kCoverOffset, 100 + kCoverOffset));      // ... to top right
  EXPECT_FALSE(Black(page, 400 + kCoverOffset, 100 + kCoverOffset));
  const QRect box(100 + kCoverOffset, 400 + kCoverOffset, 301, 201);
  const int inside = BlackCount(page, box);
  EXPECT_GT(inside, 0);
  // Wrapped onto several lines, and nothing drawn outside the box.
  EXPECT_GT(BlackCount(page, QRect(box.left(), box.top() + 100, box.width(), 100)), 0);
  EXPECT_EQ(BlackCount(page, QRect(box.right() + 1, box.top(), 600, box.height())), 0);
  EXPECT_EQ(BlackCount(page, QRect(box.left(), box.bottom() + 1, box.width(), 300)), 0);
}

TEST_F(CoverDrawing, ValuesBeyondAnyPageDrawQuicklyAndSafely) {
  std::vector<TCoverItem> items;
  for (int kind = 0; kind <= 7; ++kind) {
    TCoverItem item = TextItem(kind, INT_MAX, INT_MIN, INT_MAX);
    item.W = INT_MAX;
    item.H = INT_MIN;
    item.PenWidth = INT_MAX;
    item.Roundness = INT_MIN;
    item.ShapeKind = kind % 6;
    item.LineDirection = kind % 5;
    item.DataField = INT_MIN;
    item.Text = "x";
    items.push_back(item);
    item.X = item.Y = -5;
    item.FontSize = -7;
    items.push_back(item);
  }
  TCoverValues values;
  values.Flags[ifUrgent] = true;
  values.Message = std::string(20000, 'w');
  const auto start = std::chrono::steady_clock::now();
  const QImage page = DrawCoverPage(TemplateOf(items), values);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(page.size(), QSize(kCoverPageWidth, kCoverPageHeight));
}

// The page of an APF file as our unpacker decodes it, in the fax sense (1 = black).
reference::Raster Unpacked(const std::filesystem::path& apf) {
  TFaxUnpacker unpacker;
  unpacker.SetInFileName(apf.string());
  unpacker.SetAutoScaleMode(asNone);
  const auto bitmap = unpacker.PageToBitmap(1);
  return testing::RowsOf(*bitmap, kCoverPageWidth / 8);
}

TEST_F(CoverDrawing, AMissingTemplateGivesAHighResolutionPageWithOnlyTheCornerPixel) {
  testing::TempDir dir;
  ASSERT_EQ(MakeCoverFile(dir / "missing.fct", TCoverValues{}, dir / "COV00000.APF"), 0);
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(dir / "COV00000.APF", header), 0);
  EXPECT_EQ(header.PageCount, 1);
  TFaxUnpacker unpacker;
  unpacker.SetInFileName((dir / "COV00000.APF").string());
  EXPECT_TRUE(unpacker.PageIsHighRes(1));
  EXPECT_FALSE(unpacker.PageIsWide(1));
  const reference::Raster rows = Unpacked(dir / "COV00000.APF");
  ASSERT_EQ(rows.size(), static_cast<size_t>(kCoverPageHeight));
  for (int y = 0; y < kCoverPageHeight; ++y)
    for (int b = 0; b < kCoverPageWidth / 8; ++b) {
      const uint8_t expected = (y == kCoverPageHeight - 1 && b == kCoverPageWidth / 8 - 1) ? 0x01 : 0x00;
      ASSERT_EQ(rows[y][b], expected) << "row " << y << " byte " << b;
    }
  // Nothing is left beside the cover but the cover.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(CoverDrawing, ADrawnCoverDecodesWithLibtiffToTheSamePixelsAsOurUnpackerAndTheDrawing) {
  testing::TempDir dir;
  TCoverValues values;
  values.Recipient = "Alice Martin";
  values.RecipientFax = "+1 555 0100";
  values.Regarding = "Contract";
  values.SenderName = "Bob";
  values.Date = "05/14/2024";
  values.Message = "Please find the signed pages after this sheet.";
  values.Flags[ifPleaseReply] = true;
  const std::filesystem::path shipped = std::filesystem::path(QL_SOURCE_DIR) / "data/covers/ql0001.fct";
  ASSERT_EQ(MakeCoverFile(shipped, values, dir / "C.APF"), 0);

  reference::Raster decoded;
  ASSERT_TRUE(reference::DecodeG3(testing::PageStream(dir / "C.APF", 1), kCoverPageWidth, kCoverPageHeight, decoded));
  const reference::Raster ours = Unpacked(dir / "C.APF");
  const reference::Raster drawn =
      testing::RowsOf(ToMonoBitmap(DrawCoverPage(ReadCoverTemplateFile(shipped), values)).Inverted(),
                      kCoverPageWidth / 8);
  ASSERT_EQ(ours.size(), decoded.size());
  int differing = 0, black = 0;
  for (size_t y = 0; y < decoded.size(); ++y) {
    differing += decoded[y] != ours[y];
    differing += decoded[y] != drawn[y];
    for (uint8_t byte : decoded[y]) black += byte != 0;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(black, 2000);  // a real page, not an empty one
}

TEST_F(CoverDrawing, TheRecipientsNameStandsWhereTheTemplatePutsIt) {
  testing::TempDir dir;
  TCoverItem field = TextItem(ikDataField, 640, 420, 30);
  field.DataField = dfRecipient;
  field.Bold = true;
  TCoverItem label = TextItem(ikText, 100, 420, 30);
  label.Text = "To:";
  TCoverItem rule = BoxItem(ikLine, 0, 400, 1500, 0);
  rule.PenWidth = 2;
  std::vector<TCoverItem> items = {label, field, rule};
  ASSERT_TRUE(WriteCoverTemplateFile(dir / "t.fct", items));
  TCoverValues values;
  values.Recipient = "Alice Martin";
  ASSERT_EQ(MakeCoverFile(dir / "t.fct", values, dir / "C.APF"), 0);
  const reference::Raster page = Unpacked(dir / "C.APF");

  // The name alone, drawn as a text item at the same place, is the reference.
  TCoverItem alone = field;
  alone.Kind = ikText;
  alone.Text = values.Recipient;
  const QImage reference = DrawCoverPage(TemplateOf({alone}), {});
  const QRect ink = Ink(reference);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), 640 + kCoverOffset);
  EXPECT_GE(ink.top(), 420 + kCoverOffset);
  EXPECT_LT(ink.top(), 420 + kCoverOffset + CoverFontPixels(30));
  for (int y = ink.top() - 2; y <= ink.bottom() + 2; ++y)
    for (int x = ink.left() - 2; x <= ink.right() + 2; ++x) {
      const bool faxBlack = (page[y][x / 8] >> (7 - x % 8)) & 1;
      ASSERT_EQ(faxBlack, Black(reference, x, y)) << x << "," << y;
    }
}

}  // namespace
}  // namespace ql
