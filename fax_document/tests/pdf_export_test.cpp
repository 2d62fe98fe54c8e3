// Export of faxes to PDF, read back by poppler (pdfimages decodes each page's T.6 image,
// pdfinfo tells the page sizes): every page must come back pixel for pixel at the fax's
// own size.

#include "fax_document/export/pdf_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <regex>

#include "fax_document/apf/apf_append.h"
#include "fax_document/tests/test_pages.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/error_codes.h"
#include "tests/support/program_output.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ProgramOutput;

// A binary PBM (P4) file as rows of bytes, 1 = black.
testing::Raster ReadPbm(const std::filesystem::path& pbm, int& width) {
  const std::string data = testing::ReadFile(pbm);
  std::smatch m;
  if (!std::regex_search(data, m, std::regex("^P4\\s+(\\d+)\\s+(\\d+)\\s"))) return {};
  width = std::stoi(m[1]);
  const int height = std::stoi(m[2]);
  const size_t bytes = static_cast<size_t>((width + 7) / 8);
  testing::Raster rows;
  for (int y = 0; y < height; ++y) {
    const size_t at = m[0].length() + y * bytes;
    rows.emplace_back(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + bytes));
  }
  return rows;
}

// The page's lines as the unpacker gives them, without doubling or halving.
testing::Raster DecodedRows(const std::filesystem::path& apf, unsigned page) {
  testing::Raster rows;
  UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
    if (!starting && !ending) rows.emplace_back(data, data + length);
    return 0;
  });
  core.UnpackFlags = 0;
  EXPECT_EQ(core.UnpackPage(apf, page), 0);
  return rows;
}

class PdfExportTest : public ::testing::Test {
 protected:
  // The pages of the PDF's images, decoded by poppler.
  std::vector<testing::Raster> PopplerPages(const std::filesystem::path& pdf, std::vector<int>& widths) {
    ProgramOutput("pdfimages '" + pdf.string() + "' '" + (dir_ / "img").string() + "'");
    std::vector<testing::Raster> pages;
    for (int i = 0;; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "img-%03d.pbm", i);
      if (!std::filesystem::exists(dir_ / name)) break;
      int width = 0;
      pages.push_back(ReadPbm(dir_ / name, width));
      widths.push_back(width);
    }
    return pages;
  }
  testing::TempDir dir_;
};

TEST_F(PdfExportTest, EveryPageComesBackExactlyAtItsOwnSize) {
  // Page 1 fine, page 2 standard, page 3 wide; rows of text-like marks, dense noise
  // (every kind of code of the two-dimensional coding) and long blank stretches.
  std::mt19937 random(7);
  const auto page = [&](int width, int rows, int density) {
    testing::Raster raster(static_cast<size_t>(rows), std::vector<uint8_t>(static_cast<size_t>(width / 8), 0));
    for (int y = 0; y < rows; ++y) {
      if (y % 50 > 30) continue;  // blank bands
      for (auto& byte : raster[y])
        if (static_cast<int>(random() % 100) < density) byte = static_cast<uint8_t>(random());
      if (y % 50 < 4) raster[y][static_cast<size_t>(y % (width / 8))] = 0xFF;
    }
    return raster;
  };
  ASSERT_EQ(testing::ConvertRows(page(1728, 400, 60), 1728, dir_ / "F.APF", true), 0);
  ASSERT_EQ(testing::ConvertRows(page(1728, 300, 10), 1728, dir_ / "S.APF", false), 0);
  ASSERT_EQ(testing::ConvertRows(page(2048, 200, 90), 2048, dir_ / "W.APF", true), 0);
  ASSERT_EQ(AppendApf(dir_ / "F.APF", dir_ / "S.APF"), 0);
  ASSERT_EQ(AppendApf(dir_ / "F.APF", dir_ / "W.APF"), 0);

  const std::filesystem::path pdf = dir_ / "fax.pdf";
  std::vector<unsigned> progress;
  ASSERT_EQ(ExportFaxToPdf(dir_ / "F.APF", pdf, [&](unsigned done, unsigned total) {
              progress.push_back(done * 10 + total);
              return true;
            }),
            0);
  EXPECT_EQ(progress, (std::vector<unsigned>{13, 23, 33}));
  std::vector<int> widths;
  const std::vector<testing::Raster> pages = PopplerPages(pdf, widths);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(widths, (std::vector<int>{1728, 1728, 2048}));
  for (unsigned p = 1; p <= 3; ++p) EXPECT_EQ(pages[p - 1], DecodedRows(dir_ / "F.APF", p)) << "page " << p;

  // 1728 pels are 215 mm; 400 fine lines 400 / 7.7 mm, 300 standard lines 300 / 3.85 mm.
  const std::string info = ProgramOutput("pdfinfo -f 1 -l 3 '" + pdf.string() + "'");
  const auto mm = [](double points) { return points * 25.4 / 72; };
  std::vector<std::pair<double, double>> sizes;
  const std::regex size("Page +\\d+ size: +([0-9.]+) x ([0-9.]+) pts");
  for (auto it = std::sregex_iterator(info.begin(), info.end(), size); it != std::sregex_iterator(); ++it)
    sizes.emplace_back(mm(std::stod((*it)[1])), mm(std::stod((*it)[2])));
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_NEAR(sizes[0].first, 215.0, 0.05);
  EXPECT_NEAR(sizes[0].second, 400 / 7.7, 0.05);
  EXPECT_NEAR(sizes[1].second, 300 / 3.85, 0.05);
  EXPECT_NEAR(sizes[2].first, 215.0 * 2048 / 1728, 0.05);
  // pdftoppm renders all three pages without complaint.
  EXPECT_EQ(ProgramOutput("pdftoppm -r 20 '" + pdf.string() + "' '" + (dir_ / "r").string() + "' 2>&1"), "");
}

TEST_F(PdfExportTest, FailuresLeaveNoFileAndNeverReplaceOne) {
  const std::filesystem::path pdf = dir_ / "out.pdf";
  EXPECT_EQ(ExportFaxToPdf(dir_ / "MISSING.APF", pdf), ecFileNotFound);
  testing::WriteFile(dir_ / "TEXT.APF", std::string(100, 'x'));
  testing::WriteFile(pdf, "older");
  EXPECT_EQ(ExportFaxToPdf(dir_ / "TEXT.APF", pdf), ecFaxBadFormat);
  EXPECT_EQ(testing::ReadFile(pdf), "older");
  // A page cut short, and an export stopped half-way.
  ASSERT_EQ(testing::ConvertRows(testing::Raster(50, std::vector<uint8_t>(216, 0x0F)), 1728, dir_ / "A.APF"), 0);
  ASSERT_EQ(testing::ConvertRows(testing::Raster(50, std::vector<uint8_t>(216, 0xF0)), 1728, dir_ / "B.APF"), 0);
  ASSERT_EQ(AppendApf(dir_ / "A.APF", dir_ / "B.APF"), 0);
  EXPECT_EQ(ExportFaxToPdf(dir_ / "A.APF", pdf, [](unsigned, unsigned) { return false; }), ecUnpackAbort);
  EXPECT_EQ(testing::ReadFile(pdf), "older");
  std::filesystem::resize_file(dir_ / "A.APF", std::filesystem::file_size(dir_ / "A.APF") - 40);
  EXPECT_EQ(ExportFaxToPdf(dir_ / "A.APF", pdf), ecReadBeyondEnd);
  EXPECT_EQ(testing::ReadFile(pdf), "older");
  // No temporary file is left beside the target.
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"A.APF", "B.APF", "TEXT.APF", "out.pdf"}));
}

}  // namespace
}  // namespace ql
