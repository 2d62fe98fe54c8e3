// Text to fax: pages, form feeds, tabs, line widths and the font.

#include "fax_document/sources/text_source.h"

#include "fax_document/sources/cp437.h"

#include <gtest/gtest.h>

#include <memory>

#include "fax_document/tests/test_pages.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

struct TextRun {
  std::vector<unsigned> linesPerPage;  // raster line records of each page
  int rc = 0;
  std::vector<std::string> drawn;      // the text lines, as the source took them
};

// Converts `text` with the given settings and counts the line records of every page.
TextRun Convert(const std::string& text, unsigned linesPerPage = 60, bool highRes = false,
                TFontType font = ffStandard) {
  TempDir dir;
  testing::WriteBytes(dir / "T.TXT", std::vector<uint8_t>(text.begin(), text.end()));
  auto source = std::make_unique<TextSource>();
  TextSource* text_source = source.get();
  text_source->SetLinesPerPage(linesPerPage);
  EXPECT_EQ(text_source->LoadFont("FAX.FNT", GlyphBytesOf(font), highRes), 0);
  ConverterCore core(std::move(source));
  core.SetHighRes(highRes);
  TextRun run;
  unsigned lines = 0;
  run.rc = core.Convert(dir / "T", [&](const uint8_t*, unsigned, bool endOfPage, bool) {
    if (endOfPage) {
      run.linesPerPage.push_back(lines);
      lines = 0;
    } else {
      ++lines;
    }
    return 0;
  });
  return run;
}

std::string Lines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

TEST(TextSourceTest, PagesBreakAfterLinesPerPage) {
  EXPECT_EQ(Convert("").linesPerPage, std::vector<unsigned>{1});
  EXPECT_EQ(Convert(Lines(60)).linesPerPage, std::vector<unsigned>{60 * 16});
  EXPECT_EQ(Convert(Lines(61)).linesPerPage, (std::vector<unsigned>{60 * 16, 16}));
  EXPECT_EQ(Convert(Lines(121), 0).linesPerPage, std::vector<unsigned>{121 * 16});
  EXPECT_EQ(Convert(Lines(3), 60, true).linesPerPage, std::vector<unsigned>{3 * 32});
  EXPECT_EQ(Convert(Lines(3), 60, false, ffSmall).linesPerPage, std::vector<unsigned>{3 * 8});
  EXPECT_EQ(Convert(Lines(3), 60, true, ffSmall).linesPerPage, std::vector<unsigned>{3 * 16});
}

TEST(TextSourceTest, FormFeedsStartNewPages) {
  // abc stays on page 1, def opens page 2.
  EXPECT_EQ(Convert("x\nabc\fdef\ny\n").linesPerPage, (std::vector<unsigned>{2 * 16, 2 * 16}));
  // A form feed at the end of a line: the next file line opens the next page.
  EXPECT_EQ(Convert("abc\f\ndef\n").linesPerPage, (std::vector<unsigned>{16, 16}));
  // A form feed as the last character adds no empty page.
  EXPECT_EQ(Convert("abc\ndef\f").linesPerPage, std::vector<unsigned>{2 * 16});
  // Two form feeds in a row make a page without lines (still a valid page).
  EXPECT_EQ(Convert("a\f\fb").linesPerPage, (std::vector<unsigned>{16, 0, 16}));
}

TEST(TextSourceTest, TabsAndLineWidths) {
  TempDir dir;
  TextSource source;
  source.SetTabStop(0);
  EXPECT_EQ(source.TabStop, 4u);
  // The first raster row of a text line is as long as its characters: 5 characters of
  // 20 pixels = 13 bytes for "a\tb" (a, three spaces, b).
  testing::WriteBytes(dir / "T.TXT", {'a', '\t', 'b', '\n', 'a', 'b', 'c', 'd', '\t', 'e', '\n'});
  ConverterCore core(std::make_unique<TextSource>());
  ASSERT_EQ(core.Source()->Open(core, dir / "T.TXT"), 0);
  uint8_t buffer[kConverterBufferSize] = {};
  unsigned length = 0;
  bool endOfPage = false, more = false;
  core.LineNumber = 1;
  ASSERT_EQ(core.Source()->ReadLine(core, buffer, length, endOfPage, more), 0);
  EXPECT_EQ(length, 13u);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(core.Source()->ReadLine(core, buffer, length, endOfPage, more), 0);
  ASSERT_EQ(core.Source()->ReadLine(core, buffer, length, endOfPage, more), 0);
  EXPECT_EQ(length, 23u);  // a tab at column 4 runs to column 8: 9 characters
  core.Source()->Close(core);

  // 84 standard or 140 small characters fit beside a margin of 50 on 1728 pixels.
  const std::string longLine(200, 'W');
  for (const auto& [font, chars, width] : {std::tuple{ffStandard, 84u, 20u}, std::tuple{ffSmall, 140u, 12u}}) {
    testing::WriteBytes(dir / "L.TXT", std::vector<uint8_t>(longLine.begin(), longLine.end()));
    auto text = std::make_unique<TextSource>();
    ASSERT_EQ(text->LoadFont("FAX.FNT", GlyphBytesOf(font), false), 0);
    ConverterCore wide(std::move(text));
    ASSERT_EQ(wide.Source()->Open(wide, dir / "L.TXT"), 0);
    wide.LineNumber = 1;
    ASSERT_EQ(wide.Source()->ReadLine(wide, buffer, length, endOfPage, more), 0);
    EXPECT_EQ(length, (chars * width + 7) / 8);
    wide.Source()->Close(wide);
  }
}

TEST(TextSourceTest, FontLayoutAndDrawing) {
  FaxFont font;
  ASSERT_EQ(font.Load(kStandardFontGlyphBytes, false), 0);
  EXPECT_EQ(font.Metrics().CellWidth, 20u);
  EXPECT_EQ(font.Metrics().CellHeight, 16u);
  ASSERT_EQ(font.Load(kSmallFontGlyphBytes, true), 0);
  EXPECT_EQ(font.Metrics().BytesPerGlyph, 32u);
  EXPECT_EQ(font.Metrics().CellHeight, 16u);
  // Codes 0, 32 and 255 are blank; letters are not; nothing beyond the cell width.
  const uint8_t* blob = FaxFontResource();
  ASSERT_EQ(FaxFontResourceSize(), 16384u);
  for (const int code : {0, 32, 255}) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(blob[code * 16 + i], 0);
    for (int i = 0; i < 48; ++i) EXPECT_EQ(blob[4096 + code * 48 + i], 0);
  }
  int inkA = 0;
  for (int row = 0; row < 16; ++row) {
    EXPECT_EQ(blob[4096 + 'A' * 48 + row * 3 + 2] & 0x0F, 0);
    inkA += __builtin_popcount(blob[4096 + 'A' * 48 + row * 3]);
  }
  EXPECT_GT(inkA, 10);

  // Drawing places glyphs side by side from the first bit: "AA" in the standard font
  // repeats the same 20 bits at bit 20.
  ASSERT_EQ(font.Load(kStandardFontGlyphBytes, false), 0);
  for (unsigned row = 1; row <= 16; ++row) {
    uint8_t raster[8] = {};
    font.DrawTextRow("AA", row, raster, sizeof raster);
    const uint64_t bits = static_cast<uint64_t>(raster[0]) << 32 | static_cast<uint64_t>(raster[1]) << 24 |
                          static_cast<uint64_t>(raster[2]) << 16 | static_cast<uint64_t>(raster[3]) << 8 | raster[4];
    EXPECT_EQ(bits >> 20, bits & 0xFFFFF) << "row " << row;
  }
  uint8_t raster[8] = {};
  font.DrawTextRow("AA", 17, raster, sizeof raster);
  EXPECT_EQ(std::vector<uint8_t>(raster, raster + 8), std::vector<uint8_t>(8, 0));

  const std::vector<uint8_t> wrongSize(100, 0);
  EXPECT_EQ(font.LoadFrom(wrongSize.data(), wrongSize.size(), 48, false), ecFontFileNotFound);
  EXPECT_FALSE(font.Loaded());
}

TEST(TextSourceTest, Utf8TextIsDrawnInCodePage437) {
  std::string out = "unchanged";
  EXPECT_TRUE(Utf8ToCp437("caf\xC3\xA9 \xC2\xA3" "5 \xE2\x94\x80 \xE2\x82\xAC", out));
  EXPECT_EQ(out, "caf\x82 \x9C" "5 \xC4 ?");  // the euro sign is not in the code page
  out = "unchanged";
  EXPECT_FALSE(Utf8ToCp437("plain ascii", out));
  EXPECT_FALSE(Utf8ToCp437("\xC4\xC4\xC4 box in code page 437", out));
  EXPECT_FALSE(Utf8ToCp437("\xC0\x80 overlong", out));
  EXPECT_EQ(out, "unchanged");
  for (int code = 1; code < 256; ++code) {
    if (code == 32 || code == 255) continue;
    EXPECT_NE(Cp437ToUnicode(static_cast<uint8_t>(code)), 0u) << code;
  }
}

TEST(TextSourceTest, MissingFileGivesItsError) {
  EXPECT_EQ(Convert("x").rc, 0);
  TempDir dir;
  ConverterCore core(std::make_unique<TextSource>());
  EXPECT_EQ(core.ConvertToFile(dir / "NONE.TXT"), ecFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir / "NONE.APF"));
}

}  // namespace
}  // namespace ql
