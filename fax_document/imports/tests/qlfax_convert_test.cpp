// qlfax convert with the document import: the kind comes from the content unless
// --type names it, and the converter's own readers keep what they read.

#include <gtest/gtest.h>

#include <QImage>

#include "fax_document/apf/apf_file.h"
#include "fax_document/tests/test_pages.h"
#include "import_fixtures.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

testing::ProgramResult Convert(const TempDir& dir, const std::string& arguments) {
  return testing::RunProgram("qlfax", "--home '" + (dir / "home").string() + "' convert " + arguments);
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

TEST(QlfaxConvert, TakesEveryKindByContent) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(3), dir / "report"));  // no extension
  auto r = Convert(dir, Quoted(dir / "report"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("(3 pages)"), std::string::npos) << r.out;
  auto pages = testing::ApfPages(dir / "report.APF");
  ASSERT_EQ(pages.size(), 3u);
  // Normal resolution unless --fine, as for every other kind: Ghostscript's 204 x 98.
  const auto reference = testing::GhostscriptFaxPages(dir / "report", false);
  ASSERT_EQ(reference.size(), 3u);
  for (size_t p = 0; p < 3; ++p) {
    auto rows = reference[p].rows;
    for (auto& row : rows) row.resize(1728 / 8, 0);
    EXPECT_EQ(pages[p].rows, rows) << "page " << p + 1;
  }
  ApfReader reader;
  ASSERT_EQ(reader.Open(dir / "report.APF"), 0);
  ApfPageHeader header;
  ASSERT_EQ(reader.LocatePage(1, header), 0);
  EXPECT_FALSE(header.HighRes());
  reader.Close();

  r = Convert(dir, Quoted(dir / "report") + " --fine -o " + Quoted(dir / "fine"));
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(reader.Open(dir / "fine.APF"), 0);
  ASSERT_EQ(reader.LocatePage(1, header), 0);
  EXPECT_TRUE(header.HighRes());
  reader.Close();

  // A two-page Group 4 TIFF, which the TIFF reader does not take, and a picture.
  ASSERT_TRUE(testing::WriteTiff(dir / "two.tif", {testing::SampleFaxPage(1728, 300, 1), testing::SampleFaxPage(1728, 300, 2)}));
  ASSERT_TRUE(testing::Shell("tiffcp -c g4 " + Quoted(dir / "two.tif") + " " + Quoted(dir / "two-g4.tif")));
  r = Convert(dir, Quoted(dir / "two-g4.tif"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("(2 pages)"), std::string::npos) << r.out;
  QImage photo(400, 300, QImage::Format_RGB32);
  photo.fill(Qt::darkGray);
  ASSERT_TRUE(photo.save(QString::fromStdString((dir / "photo.jpg").string()), "JPEG"));
  r = Convert(dir, Quoted(dir / "photo.jpg"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testing::ApfPages(dir / "photo.APF").size(), 1u);
}

// A plain single-page TIFF still goes through the TIFF reader, with its margin and
// centring: the same fax as --type tiff gives.
TEST(QlfaxConvert, TheConvertersReadersKeepTheirDocuments) {
  TempDir dir;
  ASSERT_TRUE(testing::WriteTiff(dir / "plain.tif", {testing::SampleFaxPage(1600, 200, 3)}));
  auto r = Convert(dir, Quoted(dir / "plain.tif") + " -o " + Quoted(dir / "a.apf"));
  ASSERT_EQ(r.status, 0) << r.out;
  r = Convert(dir, Quoted(dir / "plain.tif") + " --type tiff -o " + Quoted(dir / "b.apf"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testing::PageStream(dir / "a.apf", 1), testing::PageStream(dir / "b.apf", 1));
  const auto pages = testing::ApfPages(dir / "a.apf");
  ASSERT_EQ(pages.size(), 1u);
  // Centred: (1728 - 1600) / 16 = 8 bytes to the right, past the 50-pixel margin.
  EXPECT_EQ(pages[0].rows[0][0], 0);

  // A broken PDF is reported, and no fax file is left.
  testing::WriteText(dir / "broken.pdf", "%PDF-1.7\n" + std::string(1000, '?'));
  r = Convert(dir, Quoted(dir / "broken.pdf"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("broken.pdf"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "broken.APF"));
  r = Convert(dir, Quoted(dir / "broken.pdf") + " --type pcx");
  EXPECT_EQ(r.status, 1) << r.out;
  r = Convert(dir, Quoted(dir / "x.pdf") + " --type nonsense");
  EXPECT_EQ(r.status, 2) << r.out;
}

}  // namespace
}  // namespace ql
