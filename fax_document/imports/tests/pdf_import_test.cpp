// PDF and PostScript in: pages must come out exactly as Ghostscript's own fax device
// renders them, and every kind of failure must leave nothing behind.

#include <gtest/gtest.h>

#include "fax_document/imports/document_import.h"
#include "import_fixtures.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::PageImage;
using testing::TempDir;

// Pages equal when they have the same size and rows; the first difference is named.
::testing::AssertionResult SamePages(const std::vector<PageImage>& ours, const std::vector<PageImage>& reference) {
  if (ours.size() != reference.size())
    return ::testing::AssertionFailure() << ours.size() << " pages, reference " << reference.size();
  for (size_t p = 0; p < ours.size(); ++p) {
    if (ours[p].width != reference[p].width)
      return ::testing::AssertionFailure() << "page " << p + 1 << ": width " << ours[p].width << ", reference "
                                           << reference[p].width;
    if (ours[p].rows.size() != reference[p].rows.size())
      return ::testing::AssertionFailure() << "page " << p + 1 << ": " << ours[p].rows.size() << " rows, reference "
                                           << reference[p].rows.size();
    for (size_t y = 0; y < ours[p].rows.size(); ++y)
      if (ours[p].rows[y] != reference[p].rows[y])
        return ::testing::AssertionFailure() << "page " << p + 1 << " differs in row " << y;
  }
  return ::testing::AssertionSuccess();
}

struct PageCase {
  const char* name;
  int widthPt, heightPt;
  bool fine;
  bool pdf;
};

// A4 (padded from 1686 pixels), Letter (cut from 1734) and B4 (2008, padded to the wide
// page), in both resolutions, from PDF and from PostScript.
TEST(PdfImport, PagesMatchGhostscriptsFaxRendering) {
  const PageCase cases[] = {{"A4 fine PDF", 595, 842, true, true},
                            {"Letter normal PDF", 612, 792, false, true},
                            {"A4 fine PostScript", 595, 842, true, false},
                            {"B4 fine PDF", 709, 1001, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string ps = testing::SamplePostScript(3, c.widthPt, c.heightPt);
    const auto document = dir / (c.pdf ? "doc.pdf" : "doc.ps");
    if (c.pdf) ASSERT_TRUE(testing::MakePdf(ps, document));
    else testing::WriteText(document, ps);
    EXPECT_EQ(DocumentKind(document), c.pdf ? "pdf" : "postscript");
    ImportOptions options;
    options.fine = c.fine;
    const ImportResult result = ImportDocument(document, dir / "DOC.APF", options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 3);
    const auto reference = testing::GhostscriptFaxPages(document, c.fine);
    ASSERT_EQ(reference.size(), 3u);
    // The reference keeps a narrow page narrow: what lies beyond it is white paper.
    auto widened = reference;
    for (auto& page : widened) {
      const int faxWidth = page.width <= 1736 ? 1728 : 2048;
      for (auto& row : page.rows) row.resize(static_cast<size_t>(faxWidth / 8), 0);
      page.width = faxWidth;
    }
    EXPECT_TRUE(SamePages(testing::ApfPages(dir / "DOC.APF"), widened));
    EXPECT_TRUE(testing::OtherFiles(dir.path(), {document.filename().string(), "DOC.APF"}).empty());
  }
  EXPECT_TRUE(testing::NoChildren());
}

// A landscape page is wider than any fax page: it is scaled down to 1728 pixels with
// its proportions kept, and its ink stays on the page.
TEST(PdfImport, LandscapePageIsScaledToFaxWidth) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(1, 842, 595), dir / "wide.pdf"));
  const ImportResult result = ImportDocument(dir / "wide.pdf", dir / "W.APF");
  ASSERT_TRUE(result.ok) << result.error;
  const auto pages = testing::ApfPages(dir / "W.APF");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].width, 1728);
  // 842 x 595 points at 204 x 196 dpi is 2386 x 1620 pixels; scaled by 1728 / 2386.
  EXPECT_NEAR(static_cast<double>(pages[0].rows.size()), 1620.0 * 1728 / 2386, 2);
  int black = 0;
  for (const auto& row : pages[0].rows)
    for (const uint8_t b : row) black += __builtin_popcount(b);
  EXPECT_GT(black, 10000);
}

struct BadCase {
  const char* name;
  std::string file;     // the document's name
  std::string content;  // empty: made by `make`
  std::function<bool(const std::filesystem::path&)> make;
};

TEST(PdfImport, BrokenDocumentsFailCleanly) {
  const std::string header = "%PDF-1.4\n";
  const BadCase cases[] = {
      {"garbage after the PDF header", "junk.pdf", header + std::string(3000, 'x') + "\n%%EOF\n", {}},
      {"PDF with no pages", "empty.pdf", testing::EmptyPdf(), {}},
      {"PDF locked with a password", "locked.pdf", {},
       [](const std::filesystem::path& p) {
         const auto open = p.string() + ".open.pdf";
         return testing::MakePdf(testing::SamplePostScript(1), open) &&
                testing::Shell("qpdf --encrypt secret owner 256 -- '" + open + "' '" + p.string() + "'") &&
                std::filesystem::remove(open);
       }},
      {"PostScript that fails on its second page", "bad.ps",
       "%!PS\n/Helvetica findfont 20 scalefont setfont 72 720 moveto (one) show showpage\nnosuchoperator\n", {}},
      {"PostScript with no pages", "nothing.ps", "%!PS\n% nothing drawn\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const auto document = dir / c.file;
    if (c.make) ASSERT_TRUE(c.make(document));
    else testing::WriteText(document, c.content);
    const ImportResult result = ImportDocument(document, dir / "OUT.APF");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.pages, 0);
    EXPECT_TRUE(testing::OtherFiles(dir.path(), {c.file}).empty()) << "left behind";
    EXPECT_TRUE(testing::NoChildren());
    if (c.file == "locked.pdf") {
      EXPECT_NE(result.error.find("password"), std::string::npos) << result.error;
    }
  }
}

// Ghostscript reads what it can of a damaged PDF: the pages it makes come through, with
// a warning that they may be incomplete.
TEST(PdfImport, DamagedPdfComesWithAWarning) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(2), dir / "cut.pdf"));
  std::filesystem::resize_file(dir / "cut.pdf", std::filesystem::file_size(dir / "cut.pdf") / 2);
  const ImportResult result = ImportDocument(dir / "cut.pdf", dir / "CUT.APF");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_NE(result.warning.find("damaged"), std::string::npos) << result.warning;
  EXPECT_EQ(static_cast<size_t>(result.pages), testing::GhostscriptFaxPages(dir / "cut.pdf", true).size());

  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(1), dir / "whole.pdf"));
  const ImportResult whole = ImportDocument(dir / "whole.pdf", dir / "WHOLE.APF");
  ASSERT_TRUE(whole.ok);
  EXPECT_EQ(whole.warning, "");
}

TEST(PdfImport, AbortStopsGhostscriptAndLeavesNothing) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(6), dir / "long.pdf"));
  std::vector<int> seen;
  ImportOptions options;
  options.progress = [&seen](int pagesDone) {
    seen.push_back(pagesDone);
    return pagesDone < 2;
  };
  const ImportResult result = ImportDocument(dir / "long.pdf", dir / "L.APF", options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("abort"), std::string::npos) << result.error;
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 2);
  EXPECT_TRUE(testing::OtherFiles(dir.path(), {"long.pdf"}).empty());
  EXPECT_TRUE(testing::NoChildren());
}

TEST(PdfImport, ProgressCountsEveryPage) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(3), dir / "three.pdf"));
  int last = -1;
  bool ordered = true;
  ImportOptions options;
  options.progress = [&](int pagesDone) {
    ordered = ordered && pagesDone >= last;
    last = pagesDone;
    return true;
  };
  const ImportResult result = ImportDocument(dir / "three.pdf", dir / "T.APF", options);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(ordered);
  EXPECT_EQ(last, 3);
}

}  // namespace
}  // namespace ql
