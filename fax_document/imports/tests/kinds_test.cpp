// Telling documents apart by their content, and what the import does with the kinds the
// converter reads itself and with documents of no kind.

#include <gtest/gtest.h>

#include <QImage>

#include "fax_document/imports/document_import.h"
#include "fax_document/imports/page_scaler.h"
#include "import_fixtures.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

TEST(DocumentKind, ContentDecidesNotTheName) {
  TempDir dir;
  ASSERT_TRUE(testing::MakePdf(testing::SamplePostScript(1), dir / "report.txt"));
  testing::WriteText(dir / "print.pdf", "%!PS-Adobe-3.0\nshowpage\n");
  ASSERT_TRUE(testing::WriteTiff(dir / "fax.png", {testing::SampleFaxPage(64, 10, 1)}));
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString((dir / "photo.tif").string()), "JPEG"));
  ASSERT_TRUE(image.save(QString::fromStdString((dir / "shot").string()), "PNG"));
  testing::WriteText(dir / "letter.pdf", "Dear Sir,\r\n\r\nthank you for your letter.\r\n\f");
  testing::WriteText(dir / "binary", std::string("\x01\x02\x03\x00\x05\x06", 6));
  testing::WriteText(dir / "empty.txt", "");
  testing::WriteText(dir / "pcx", std::string("\x0A\x05\x01\x01", 4) + std::string(124, '\0'));
  testing::WriteText(dir / "dcx", std::string("\xB1\x68\xDE\x3A", 4) + std::string(20, '\0'));
  EXPECT_EQ(DocumentKind(dir / "report.txt"), "pdf");
  EXPECT_EQ(DocumentKind(dir / "print.pdf"), "postscript");
  EXPECT_EQ(DocumentKind(dir / "fax.png"), "tiff");
  EXPECT_EQ(DocumentKind(dir / "photo.tif"), "image");
  EXPECT_EQ(DocumentKind(dir / "shot"), "image");
  EXPECT_EQ(DocumentKind(dir / "letter.pdf"), "text");
  EXPECT_EQ(DocumentKind(dir / "pcx"), "pcx");
  EXPECT_EQ(DocumentKind(dir / "dcx"), "dcx");
  EXPECT_EQ(DocumentKind(dir / "binary"), "");
  EXPECT_EQ(DocumentKind(dir / "empty.txt"), "");
  EXPECT_EQ(DocumentKind(dir / "missing"), "");

  // Text goes through the converter's text reader; the others fail with a reason.
  ImportResult result = ImportDocument(dir / "letter.pdf", dir / "LETTER.APF");
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.pages, 1);
  for (const char* name : {"binary", "empty.txt", "missing"}) {
    result = ImportDocument(dir / name, dir / "X.APF");
    EXPECT_FALSE(result.ok) << name;
    EXPECT_NE(result.error.find(name), std::string::npos) << result.error;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "X.APF"));
  // The fax file never takes the document's place.
  result = ImportDocument(dir / "letter.pdf", dir / "letter.pdf");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(DocumentKind(dir / "letter.pdf"), "text");
}

TEST(DocumentKind, WhatTheConverterReadsItself) {
  TempDir dir;
  ASSERT_TRUE(testing::WriteTiff(dir / "plain.tif", {testing::SampleFaxPage(1728, 20, 1)}));
  ASSERT_TRUE(testing::WriteTiff(dir / "two.tif", {testing::SampleFaxPage(1728, 20, 1), testing::SampleFaxPage(1728, 20, 2)}));
  ASSERT_TRUE(testing::Shell("tiffcp -c g4 '" + (dir / "plain.tif").string() + "' '" + (dir / "g4.tif").string() + "'"));
  QImage mono(100, 10, QImage::Format_Mono), colour(100, 10, QImage::Format_RGB32);
  mono.fill(1);
  colour.fill(Qt::red);
  ASSERT_TRUE(mono.save(QString::fromStdString((dir / "mono.bmp").string()), "BMP"));
  ASSERT_TRUE(colour.save(QString::fromStdString((dir / "colour.bmp").string()), "BMP"));
  EXPECT_TRUE(ConverterReadsDirectly(dir / "plain.tif", "tiff"));
  EXPECT_FALSE(ConverterReadsDirectly(dir / "two.tif", "tiff"));
  EXPECT_FALSE(ConverterReadsDirectly(dir / "g4.tif", "tiff"));
  EXPECT_TRUE(ConverterReadsDirectly(dir / "mono.bmp", "bmp"));
  EXPECT_FALSE(ConverterReadsDirectly(dir / "colour.bmp", "bmp"));
}

// Area averaging: halving averages pixel pairs, doubling repeats them, and a third of a
// pixel's ink goes to each of three when tripled across.
TEST(PageScaler, AveragesTheAreaEachPixelCovers) {
  PageScaler half(4, 2, 2, 1);
  const uint8_t top[] = {0, 255, 100, 100}, bottom[] = {0, 255, 200, 0};
  half.AddRow(top);
  std::vector<uint8_t> row;
  EXPECT_FALSE(half.TakeRow(row));  // the second source row is still to come
  half.AddRow(bottom);
  ASSERT_TRUE(half.TakeRow(row));
  EXPECT_EQ(row, (std::vector<uint8_t>{128, 100}));
  EXPECT_TRUE(half.Done());

  PageScaler twice(2, 1, 6, 2);
  const uint8_t source[] = {0, 255};
  twice.AddRow(source);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(twice.TakeRow(row));
    EXPECT_EQ(row, (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
  }
  EXPECT_FALSE(twice.TakeRow(row));

  // A source that ends early: what is missing is white.
  PageScaler cut(1, 4, 1, 2);
  const uint8_t black[] = {0};
  cut.AddRow(black);
  cut.Finish();
  ASSERT_TRUE(cut.TakeRow(row));
  EXPECT_EQ(row[0], 128);
  ASSERT_TRUE(cut.TakeRow(row));
  EXPECT_EQ(row[0], 255);
  EXPECT_TRUE(cut.Done());
}

}  // namespace
}  // namespace ql
