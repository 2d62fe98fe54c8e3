// The page decoder over a varied corpus: its output must stay byte for byte what it has
// always been (the digests below were taken from the decoder as it stood when it looked
// up one code at a time),
// and on every page that is valid one-dimensional T.4 it must agree with libtiff.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <random>
#include <string>

#include "fax_document/reference/libtiff_codec.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/t4/t4_bit_writer.h"
#include "fax_document/t4/t4_codes.h"
#include "fax_document/tests/test_pages.h"
#include "fax_document/unpack/unpacker_core.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using reference::Raster;

struct CorpusPage {
  std::string name;
  std::filesystem::path file;
  int width = 1728;
  // The rows libtiff decodes the same stream to; empty when libtiff is no reference
  // (2-D coding, damaged streams).
  Raster libtiffRows;
};

class Digest {
 public:
  void Add(const void* data, size_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i) value_ = (value_ ^ p[i]) * 0x100000001b3ull;
  }
  void Add(long v) { Add(&v, sizeof v); }
  uint64_t Value() const { return value_; }

 private:
  uint64_t value_ = 0xcbf29ce484222325ull;
};

// One decoding of a page under the given settings, folded into the digest: the result,
// the bad codes, every line handed on, and the bitmap with its scale.
void DigestDecoding(const CorpusPage& page, uint16_t flags, bool invert, unsigned whiteFrom, unsigned whiteTo,
                    Digest& digest) {
  UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
    digest.Add(static_cast<long>(starting) << 1 | static_cast<long>(ending));
    digest.Add(static_cast<long>(length));
    if (data != nullptr) digest.Add(data, length);
    return 0;
  });
  core.UnpackFlags = flags;
  core.Invert = invert;
  ASSERT_EQ(core.SetWhitespace(whiteFrom, whiteTo), 0);
  digest.Add(static_cast<long>(core.UnpackPage(page.file, 1)));
  digest.Add(static_cast<long>(core.BadCodes));
  digest.Add(static_cast<long>(core.LinesOutput));
  core.SetScale(1, 2, 3, 4);
  TMonoBitmap bitmap;
  digest.Add(static_cast<long>(core.UnpackPageToBitmap(page.file, 1, invert, bitmap)));
  digest.Add(static_cast<long>(bitmap.Width()));
  digest.Add(static_cast<long>(bitmap.Height()));
  digest.Add(bitmap.Bits().data(), bitmap.Bits().size());
}

uint64_t PageDigest(const CorpusPage& page) {
  Digest digest;
  DigestDecoding(page, 0, false, 0, 0, digest);
  DigestDecoding(page, ufDoubleHeight, true, 0, 0, digest);
  DigestDecoding(page, ufHalfWidth, false, 5, 2, digest);
  DigestDecoding(page, ufDoubleHeight, false, 4, 4, digest);
  return digest.Value();
}

// A plain-form page coded by libtiff with the given Group 3 options.
CorpusPage LibtiffPage(const std::string& name, const std::filesystem::path& file, const Raster& rows, int width,
                       uint32_t options) {
  std::vector<uint8_t> t4;
  EXPECT_TRUE(reference::EncodeG3(rows, width, t4, options));
  // A transmitter ends the page with RTC: six EOLs (here each with fill before it).
  for (int i = 0; i < 6; ++i) t4.insert(t4.end(), {0x00, 0x80});
  testing::WritePlainPage(file, t4, width == 2048);
  CorpusPage page{name, file, width, {}};
  if ((options & GROUP3OPT_2DENCODING) == 0) {
    EXPECT_TRUE(reference::DecodeG3(t4, width, static_cast<int>(rows.size()), page.libtiffRows, options));
  }
  return page;
}

// A line-record page made by our converter, and libtiff's decoding of its stream.
CorpusPage ConvertedPage(const std::string& name, const std::filesystem::path& file, const Raster& rows, int width,
                         bool highRes) {
  EXPECT_EQ(testing::ConvertRows(rows, width, file, highRes), 0);
  CorpusPage page{name, file, width, {}};
  EXPECT_TRUE(reference::DecodeG3(testing::PageStream(file, 1), width, static_cast<int>(rows.size()), page.libtiffRows));
  return page;
}

// Bit strings no coder writes: runs past the line buffer, lines a pixel short, make-up
// codes with nothing after them, long zero fill, and a stray one before the first EOL.
std::vector<uint8_t> OddStream() {
  std::vector<uint8_t> bytes(4096, 0);
  T4BitWriter out(bytes.data());
  out.Put(1, 1);
  out.PutRun(false, 100);  // before the first EOL: not taken
  for (int line = 0; line < 40; ++line) {
    for (int zeros = 0; zeros < 11 + line % 17; ++zeros) out.Put(0, 1);
    out.Put(1, 1);  // EOL after 11 or more zeros
    switch (line % 5) {
      case 0: out.PutRun(false, 1728); break;
      case 1: out.PutRun(false, 1727); break;             // one pixel short
      case 2: out.PutRun(true, 5000); out.PutRun(false, 0); break;  // beyond the buffer
      case 3: out.PutRun(false, 700); out.PutRun(true, 1000); out.PutRun(false, 28); break;
      case 4: out.PutRun(false, 2048); break;
    }
  }
  for (int eol = 0; eol < 6; ++eol) out.Put(kEolCode);
  unsigned bit = 0;
  bytes.resize(out.Finish(bit) + 1);
  return bytes;
}

std::vector<CorpusPage> Corpus(const std::filesystem::path& dir) {
  std::vector<CorpusPage> pages;
  const Raster text = reference::TextPage(1728, 400);
  pages.push_back(ConvertedPage("text, standard", dir / "A.APF", text, 1728, false));
  pages.push_back(ConvertedPage("wide text, fine", dir / "B.APF", reference::TextPage(2048, 300, 3), 2048, true));
  pages.push_back(ConvertedPage("photo", dir / "C.APF", reference::DitheredPhoto(1728, 150), 1728, false));
  Raster gaps = reference::TextPage(1728, 120, 5);
  for (int at : {100, 60, 20}) gaps.insert(gaps.begin() + at, static_cast<size_t>(at / 10), std::vector<uint8_t>(216));
  pages.push_back(ConvertedPage("text with blank stretches", dir / "D.APF", gaps, 1728, false));
  pages.push_back(LibtiffPage("runs, plain", dir / "E.APF", reference::RandomRuns(1728, 300, 11), 1728, 0));
  pages.push_back(
      LibtiffPage("wide runs, fill bits", dir / "F.APF", reference::RandomRuns(2048, 200, 12), 2048, GROUP3OPT_FILLBITS));
  pages.push_back(LibtiffPage("text, 2-D coded", dir / "G.APF", text, 1728, GROUP3OPT_2DENCODING));
  pages.push_back(LibtiffPage("photo, 2-D coded with fill bits", dir / "H.APF", reference::DitheredPhoto(1728, 80), 1728,
                              GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS));
  // Damaged lines: one bit in every 97 bytes turned over.
  std::vector<uint8_t> damaged;
  EXPECT_TRUE(reference::EncodeG3(text, 1728, damaged));
  for (size_t i = 40; i < damaged.size(); i += 97) damaged[i] ^= static_cast<uint8_t>(1u << (i % 8));
  testing::WritePlainPage(dir / "I.APF", damaged, false);
  pages.push_back(CorpusPage{"damaged lines", dir / "I.APF", 1728, {}});
  // Noise, and a page whose data ends early in the file.
  std::mt19937 random(99);
  std::vector<uint8_t> noise(30000);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  testing::WritePlainPage(dir / "J.APF", noise, false);
  pages.push_back(CorpusPage{"noise", dir / "J.APF", 1728, {}});
  testing::WritePlainPage(dir / "K.APF", damaged, false);
  std::filesystem::resize_file(dir / "K.APF", std::filesystem::file_size(dir / "K.APF") / 2);
  pages.push_back(CorpusPage{"cut short", dir / "K.APF", 1728, {}});
  testing::WritePlainPage(dir / "L.APF", OddStream(), false);
  pages.push_back(CorpusPage{"odd codes", dir / "L.APF", 1728, {}});
  return pages;
}

// Digests of the decoder this one replaced, page by page in corpus order.
constexpr uint64_t kExpected[] = {
    0x8d1bd37acf429f76ull,  // text, standard
    0x03f0003d2b3cbfcfull,  // wide text, fine
    0x7ddd030d2fa9e4baull,  // photo
    0x4aa8c9dc271135b7ull,  // text with blank stretches
    0x0bf094d91741ae00ull,  // runs, plain
    0xd725a98a2f77fc8bull,  // wide runs, fill bits
    0xd733b6f0f0403925ull,  // text, 2-D coded
    0x40652dc39390a1a5ull,  // photo, 2-D coded with fill bits
    0xb7f04cd3dff74d4aull,  // damaged lines
    0x29d8259f3e519a25ull,  // noise
    0x299937da25a97238ull,  // cut short
    0xde049c98309b2fa2ull,  // odd codes
};

TEST(DecoderGolden, EveryPageDecodesAsItAlwaysHasAndAsLibtiffDecodesIt) {
  testing::TempDir dir;
  const std::vector<CorpusPage> pages = Corpus(dir.path());
  ASSERT_EQ(pages.size(), std::size(kExpected));
  int compared = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    const CorpusPage& page = pages[i];
    const uint64_t digest = PageDigest(page);
    EXPECT_EQ(digest, kExpected[i]) << page.name << ": 0x" << std::hex << digest;
    if (page.libtiffRows.empty()) continue;
    Raster rows;
    UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
      if (!starting && !ending) rows.emplace_back(data, data + length);
      return 0;
    });
    core.UnpackFlags = 0;
    EXPECT_EQ(core.UnpackPage(page.file, 1), 0) << page.name;
    EXPECT_EQ(core.BadCodes, 0u) << page.name;
    EXPECT_TRUE(rows == page.libtiffRows) << page.name;
    ++compared;
  }
  EXPECT_EQ(compared, 6);
}

}  // namespace
}  // namespace ql
