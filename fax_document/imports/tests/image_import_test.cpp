// Pictures in through Qt's image readers: scaled to the fax width, dithered, kept on one
// page when they are about a page tall, run over several pages when much taller.

#include <gtest/gtest.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "fax_document/imports/document_import.h"
#include "import_fixtures.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::PageImage;
using testing::Black;
using testing::BlackShare;
using testing::TempDir;

std::vector<PageImage> ImportPages(const std::filesystem::path& in, const std::filesystem::path& out,
                                   ImportResult* result = nullptr) {
  const ImportResult r = ImportDocument(in, out);
  if (result) *result = r;
  EXPECT_TRUE(r.ok) << r.error;
  return testing::ApfPages(out);
}

bool Save(const QImage& image, const std::filesystem::path& path, const char* format, int quality = -1) {
  return image.save(QString::fromStdString(path.string()), format, quality);
}

// Left half black, right half white, a mid-grey band at the bottom: PNG, JPEG, GIF and
// a 24-bit BMP all come out alike.
TEST(ImageImport, PicturesAreScaledToFaxWidthAndDithered) {
  TempDir dir;
  QImage image(800, 600, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter paint(&image);
    paint.fillRect(0, 0, 400, 400, Qt::black);
    paint.fillRect(0, 450, 800, 150, QColor(128, 128, 128));
  }
  const std::pair<const char*, const char*> formats[] = {{"png", "PNG"}, {"jpg", "JPEG"}, {"gif", "GIF"}, {"bmp", "BMP"}};
  for (const auto& [extension, format] : formats) {
    SCOPED_TRACE(format);
    const auto file = dir / (std::string("picture.") + extension);
    if (std::string(format) == "GIF") {
      // Qt reads GIF but does not write it: netpbm does.
      ASSERT_TRUE(Save(image, dir / "picture.ppm", "PPM"));
      ASSERT_TRUE(testing::Shell("pamtogif '" + (dir / "picture.ppm").string() + "' > '" + file.string() + "' 2>/dev/null"));
    } else {
      ASSERT_TRUE(Save(image, file, format, 95));
    }
    EXPECT_EQ(DocumentKind(file), std::string(extension) == "bmp" ? "bmp" : "image");
    ImportResult result;
    const auto pages = ImportPages(file, dir / (std::string(extension) + ".APF"), &result);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(result.pages, 1);
    EXPECT_EQ(pages[0].width, 1728);
    // 600 rows, scaled by 1728 / 800 and by 196 / 204 for the taller fax pixels.
    const int rows = static_cast<int>(std::lround(600 * 1728.0 / 800 * 196 / 204));
    ASSERT_EQ(static_cast<int>(pages[0].rows.size()), rows);
    const int edge = 864, bottom = static_cast<int>(std::lround(400 * 1728.0 / 800 * 196 / 204));
    EXPECT_GT(BlackShare(pages[0], 0, 0, edge - 4, bottom - 4), 0.99);
    EXPECT_LT(BlackShare(pages[0], edge + 4, 0, 1728, bottom - 4), 0.01);
    const int band = static_cast<int>(std::lround(450 * 1728.0 / 800 * 196 / 204));
    EXPECT_NEAR(BlackShare(pages[0], 0, band + 8, 1728, rows - 8), 0.5, 0.06);
  }
}

TEST(ImageImport, TransparencyIsPaper) {
  TempDir dir;
  QImage image(200, 100, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter paint(&image);
    paint.fillRect(100, 0, 100, 100, Qt::black);
  }
  ASSERT_TRUE(Save(image, dir / "logo.png", "PNG"));
  const auto pages = ImportPages(dir / "logo.png", dir / "LOGO.APF");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_LT(BlackShare(pages[0], 0, 0, 860, static_cast<int>(pages[0].rows.size())), 0.001);
  EXPECT_GT(BlackShare(pages[0], 870, 0, 1728, static_cast<int>(pages[0].rows.size())), 0.99);
}

// A picture a little taller than a page is shrunk onto one page, centred; a long one
// (a screenshot of a web page) runs over as many pages as it needs.
TEST(ImageImport, TallPicturesFillPages) {
  TempDir dir;
  QImage slightly(1000, 1500, QImage::Format_RGB32);  // 1728 x 2488 at fax size: over 2292
  slightly.fill(Qt::black);
  ASSERT_TRUE(Save(slightly, dir / "scan.png", "PNG"));
  auto pages = ImportPages(dir / "scan.png", dir / "SCAN.APF");
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].rows.size(), 2292u);
  const int width = static_cast<int>(std::lround(1728.0 * 2292 / std::lround(1500 * 1728.0 / 1000 * 196 / 204)));
  const int left = (1728 - width) / 2;
  EXPECT_EQ(Black(pages[0], left - 1, 1000), 0);
  EXPECT_EQ(Black(pages[0], left + 1, 1000), 1);
  EXPECT_EQ(Black(pages[0], left + width - 2, 1000), 1);
  EXPECT_EQ(Black(pages[0], left + width + 1, 1000), 0);

  QImage tall(500, 2500, QImage::Format_RGB32);  // 1728 x 8300 at fax size
  tall.fill(Qt::white);
  {
    QPainter paint(&tall);
    paint.fillRect(0, 2450, 500, 50, Qt::black);  // ink at the very end
  }
  ASSERT_TRUE(Save(tall, dir / "tall.png", "PNG"));
  ImportResult result;
  pages = ImportPages(dir / "tall.png", dir / "TALL.APF", &result);
  const auto total = std::lround(2500 * 1728.0 / 500 * 196 / 204);
  ASSERT_EQ(pages.size(), static_cast<size_t>((total + 2291) / 2292));
  EXPECT_EQ(result.pages, static_cast<int>(pages.size()));
  size_t rows = 0;
  for (const auto& page : pages) rows += page.rows.size();
  EXPECT_EQ(static_cast<long>(rows), total);
  EXPECT_GT(BlackShare(pages.back(), 0, static_cast<int>(pages.back().rows.size()) - 100, 1728,
                       static_cast<int>(pages.back().rows.size()) - 20),
            0.99);
}

TEST(ImageImport, DamagedPicturesFailCleanly) {
  TempDir dir;
  QImage image(300, 300, QImage::Format_RGB32);
  image.fill(Qt::gray);
  ASSERT_TRUE(Save(image, dir / "ok.png", "PNG"));
  ASSERT_TRUE(Save(image, dir / "ok.jpg", "JPEG"));
  const std::string png = testing::ReadFile(dir / "ok.png"), jpg = testing::ReadFile(dir / "ok.jpg");
  const std::pair<std::string, std::string> cases[] = {
      {"a.png", png.substr(0, 40)},
      {"b.png", png.substr(0, 8) + std::string(500, '\x11')},
      {"c.jpg", jpg.substr(0, 4) + std::string(300, '\0')},
  };
  for (const auto& [name, content] : cases) {
    SCOPED_TRACE(name);
    TempDir case_dir;
    testing::WriteText(case_dir / name, content);
    const ImportResult result = ImportDocument(case_dir / name, case_dir / "OUT.APF");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(testing::OtherFiles(case_dir.path(), {name}).empty());
  }
}

}  // namespace
}  // namespace ql
