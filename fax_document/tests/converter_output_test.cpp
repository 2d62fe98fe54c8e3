// The bytes of converted APF files stay the same: faster drawing and coding must not
// change a single bit of what receivers and stored faxes see. Each case converts a varied
// document and compares a hash of the whole file (creation time left out) with the hash
// the straightforward coder produced.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/sources/text_source.h"
#include "fax_document/tests/test_pages.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

// FNV-1a over the file, with the creation time (bytes 6 to 9) read as zero.
uint64_t HashOfApf(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes = testing::ReadBytes(path);
  for (size_t i = 6; i < 10 && i < bytes.size(); ++i) bytes[i] = 0;
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
  return hash;
}

// A text that touches every path of the text source: line ends of all kinds, tabs,
// form feeds, UTF-8 and code page 437 bytes, control characters, blank and solid lines,
// lines longer than the page, and no line end at the very end.
std::string VariedText() {
  std::string text;
  for (int i = 0; i < 45; ++i) {
    text += "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog, 0123456789.";
    text += i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r";
  }
  text += "\tone tab\t\ttwo tabs\tx\ty\tz\n";
  text += "caf\xc3\xa9 \xe2\x82\xac 5 \xe2\x94\x80\xe2\x94\x80\xe2\x94\x80 box \xe2\x95\x90\xe2\x95\x97\n";
  text += "cp437: \xb0\xb1\xb2\xdb\xdc\xdd\xde\xdf \x01\x02\x03\x1f\x7f \xe0\xe1\xe2\xf8\xfb\n";
  text += std::string(160, '\xdb') + "\n";
  text += std::string(90, ' ') + "right\n";
  text += "\n\n\n";
  text += "before form feed\fafter form feed\n";
  text += "\f\fthird page after two feeds\n";
  for (int c = 32; c < 256; c += 48) {
    for (int k = 0; k < 48; ++k) text.push_back(static_cast<char>(c + k < 256 ? c + k : ' '));
    text += "\n";
  }
  text += std::string(200, 'W') + "\n";
  text += "|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|.|\n";
  text += "last line without an end";
  return text;
}

struct TextCase {
  const char* name;
  bool highRes;
  TFontType font;
  unsigned pageWidth;
  unsigned leftMargin;
  unsigned topMargin;
  unsigned linesPerPage;
  unsigned tabStop;
  uint64_t hash;
};

TEST(ConverterOutput, TextFilesConvertToTheSameBytes) {
  const TextCase cases[] = {
      {"standard", false, ffStandard, 1728, 50, 0, 20, 4, 0xd03a75cc3c7f2b41ull},
      {"fine", true, ffStandard, 1728, 50, 0, 20, 4, 0xc1421c5fc2802877ull},
      {"small font, wide, top margin", false, ffSmall, 2048, 0, 3, 30, 8, 0x20a1231e4d8f0f2cull},
      {"fine small font, wide margin", true, ffSmall, 1728, 300, 0, 0, 4, 0x24014f1e5f800ff3ull},
      {"fine, wide, no margin", true, ffStandard, 2048, 0, 2, 60, 3, 0x20df1db62125a9edull},
  };
  TempDir dir;
  const std::string text = VariedText();
  testing::WriteBytes(dir / "VARIED.TXT", std::vector<uint8_t>(text.begin(), text.end()));
  for (const TextCase& c : cases) {
    auto source = std::make_unique<TextSource>();
    source->SetLinesPerPage(c.linesPerPage);
    source->SetTabStop(c.tabStop);
    ASSERT_EQ(source->LoadFont("", GlyphBytesOf(c.font), c.highRes), 0);
    ConverterCore core(std::move(source));
    core.SetHighRes(c.highRes);
    core.SetPageWidth(c.pageWidth);
    core.SetMargins(c.leftMargin, c.topMargin);
    core.SetStationId("+1 555 0100");
    ASSERT_EQ(core.ConvertToFile(dir / "VARIED.TXT", dir / "OUT.APF"), 0) << c.name;
    EXPECT_EQ(HashOfApf(dir / "OUT.APF"), c.hash) << c.name;
  }
}

struct BitmapCase {
  const char* name;
  reference::Raster rows;  // at least (width + 7) / 8 bytes each
  int width;
  bool inverted;
  bool highRes;
  unsigned pageWidth;
  unsigned leftMargin;
  uint16_t options;
  uint64_t hash;
};

TEST(ConverterOutput, BitmapsConvertToTheSameBytes) {
  const BitmapCase cases[] = {
      {"text page", reference::TextPage(1728, 300), 1728, false, false, 1728, 0, 0, 0xc0618a807b9dcf23ull},
      {"photo, doubled and centred", reference::DitheredPhoto(800, 200), 800, true, false, 1728, 50,
       kDefaultConverterOptions, 0xe234953ed1f22bb5ull},
      {"random runs, wide, fine, margin", reference::RandomRuns(2048, 200, 7), 2048, false, true, 2048, 50, 0, 0xbcc29fa0f3bf0f77ull},
      {"random runs, halved", reference::RandomRuns(1704, 200, 9), 1700, true, false, 1728, 13, coHalfHeight, 0xfcaf1e43622b4b7bull},
      {"odd width, centred", reference::RandomRuns(1008, 150, 3), 1001, false, true, 1728, 7, coCenterImage, 0xabb4e2d015288e08ull},
  };
  TempDir dir;
  for (const BitmapCase& c : cases) {
    const TMonoBitmap plain = testing::BitmapOf(c.rows, c.width);
    const TMonoBitmap bitmap = c.inverted ? plain.Inverted() : plain;
    ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
    core.SetOptions(c.options);
    core.SetHighRes(c.highRes);
    core.SetPageWidth(c.pageWidth);
    core.SetMargins(c.leftMargin, 0);
    ASSERT_EQ(core.ConvertToFile("bitmap", dir / "OUT.APF"), 0) << c.name;
    EXPECT_EQ(HashOfApf(dir / "OUT.APF"), c.hash) << c.name;
  }
}

// A line coded again right after itself comes out as a fresh core codes it, also when the
// page width, margin or doubling changed in between or the code buffer was written over.
TEST(ConverterOutput, RepeatedLinesCodeAsAFreshCoreCodesThem) {
  const std::vector<uint8_t> raster = reference::RandomRuns(2048, 3, 11)[1];
  struct Setting {
    unsigned pageWidth, leftMargin;
    bool doubled;
  };
  const Setting settings[] = {{1728, 50, false}, {1728, 50, false}, {1728, 0, false}, {1728, 0, false},
                              {2048, 0, false},  {1728, 0, true},   {1728, 0, true},  {1728, 50, false}};
  const auto coded = [&](ConverterCore& core, const Setting& s) {
    core.SetPageWidth(s.pageWidth);
    core.SetMargins(s.leftMargin, 0);
    core.WidthDoubled = s.doubled;
    const unsigned length = core.CodeRasterLine(raster.data());
    return std::vector<uint8_t>(core.CodedLine(), core.CodedLine() + length);
  };
  ConverterCore reused;
  for (const Setting& s : settings) {
    ConverterCore fresh;
    const std::vector<uint8_t> expected = coded(fresh, s);
    EXPECT_EQ(coded(reused, s), expected) << s.pageWidth << " " << s.leftMargin << " " << s.doubled;
    EXPECT_EQ(reused.CodeBit, fresh.CodeBit);
    std::fill(reused.CodeBuffer, reused.CodeBuffer + reused.CodeByte, 0xA5);
  }
}

}  // namespace
}  // namespace ql
