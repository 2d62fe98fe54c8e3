// The fax printer, printing to PDF files that poppler's tools read back: pages, header
// and footer captions, several pages per sheet, the range, the log, the status window
// and aborting.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <cstdio>
#include <regex>

#include "app/ui/testing/application.h"
#include "fax_document/apf/apf_file.h"
#include "fax_document/ui/caption_macros.h"
#include "fax_document/ui/fax_printer.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "platform/data_folder.h"
#include "tests/support/program_output.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ProgramOutput;

int PdfPages(const std::filesystem::path& pdf) {
  std::smatch m;
  const std::string info = ProgramOutput("pdfinfo '" + pdf.string() + "' 2>/dev/null");
  return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

std::string PageText(const std::filesystem::path& pdf, int page) {
  return ProgramOutput("pdftotext -layout -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf.string() +
             "' - 2>/dev/null");
}

struct Word {
  double x, y;
  std::string text;
};
// The words of a sheet with their top-left corners.
std::vector<Word> Words(const std::filesystem::path& pdf, int page) {
  const std::string html = ProgramOutput("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" +
                               pdf.string() + "' - 2>/dev/null");
  std::vector<Word> words;
  const std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
    words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
  return words;
}

class PrinterTest : public ::testing::Test {
 protected:
  PrinterTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    printer_.SetStatusDisplay(&status_);
    printer_.SetFaxPrinterLog(&log_);
    printer_.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer_.Printer().setOutputFileName(QString::fromStdString(pdf_.string()));
    printer_.OnFaxPrintLog = [this](TFaxPrinter&, TFaxPLCode code) { logged_.push_back(code); };
  }
  void UseFax(int pages, const std::string& name = "FAX00001.APF") {
    fax_ = dir_ / name;
    ASSERT_EQ(testing::WritePatternFax(fax_, pages), 0);
    printer_.SetFileName(fax_.string());
  }
  std::string LogText() { return testing::ReadFile(dir_ / "FAXPRINT.LOG"); }

  struct ApplicationFirst {
    ApplicationFirst() { testing::EnsureApplication(); }
  } application_;  // before any widget or printer
  testing::TempDir dir_;
  std::filesystem::path fax_ = dir_ / "FAX00001.APF";
  std::filesystem::path pdf_ = dir_ / "out.pdf";
  TFaxPrinterStatus status_;
  TFaxPrinterLog log_;
  TFaxPrinter printer_;
  std::vector<TFaxPLCode> logged_;
};

TEST_F(PrinterTest, ThreePagesEachWithHeaderAndFooter) {
  UseFax(3);
  printer_.FaxHeader().Caption = "To: Carol Jones ,   Subject: Budget";
  std::vector<std::string> converting;
  printer_.OnFaxPrintStatus = [&](TFaxPrinter&, int code) {
    if (code == ppConverting) converting.push_back(status_.StandardDisplay()->status->text().toStdString());
  };
  printer_.PrintPages();
  ASSERT_EQ(PdfPages(pdf_), 3);
  for (int page = 1; page <= 3; ++page) {
    // pdftotext gives runs of spaces as one.
    const std::string text = std::regex_replace(PageText(pdf_, page), std::regex(" +"), " ");
    EXPECT_NE(text.find("To: Carol Jones , Subject: Budget"), std::string::npos) << text;
    EXPECT_NE(text.find("PAGE: " + std::to_string(page) + " of 3"), std::string::npos) << text;
  }
  // pdftoppm renders the three sheets, each with the fax page on it.
  const std::string out = (dir_ / "sheet").string();
  ProgramOutput("pdftoppm -r 30 -gray '" + pdf_.string() + "' '" + out + "'");
  for (int page = 1; page <= 3; ++page)
    EXPECT_TRUE(std::filesystem::exists(out + "-" + std::to_string(page) + ".pgm")) << page;
  EXPECT_EQ(converting, (std::vector<std::string>{"Converting 1 of 3", "Converting 2 of 3", "Converting 3 of 3"}));
  EXPECT_EQ(status_.StandardDisplay()->fileName->text(), QStringLiteral("FAX00001.APF"));
  EXPECT_EQ(status_.StandardDisplay()->resolution->text(), QStringLiteral("high"));
  EXPECT_FALSE(status_.StandardDisplay()->isVisible());
  EXPECT_EQ(printer_.CurrentPage(), 0u);
}

TEST_F(PrinterTest, RangePrintsOnlyItsPagesAndTheFootersCountAll) {
  UseFax(3);
  printer_.SetFirstPage(2);
  printer_.SetLastPage(3);
  std::vector<unsigned> next;
  printer_.OnNextPage = [&](TFaxPrinter&, unsigned page, unsigned total) {
    next.push_back(page);
    EXPECT_EQ(total, 3u);
  };
  printer_.PrintPages();
  ASSERT_EQ(PdfPages(pdf_), 2);
  EXPECT_NE(PageText(pdf_, 1).find("PAGE: 2 of 3"), std::string::npos);
  EXPECT_NE(PageText(pdf_, 2).find("PAGE: 3 of 3"), std::string::npos);
  EXPECT_NE(PageText(pdf_, 1).find("FILE: " + fax_.string()), std::string::npos);
  EXPECT_EQ(next, (std::vector<unsigned>{2, 3}));
  // A new file resets the range to every page.
  ASSERT_EQ(testing::WritePatternFax(dir_ / "OTHER.APF", 2), 0);
  printer_.SetFileName((dir_ / "OTHER.APF").string());
  EXPECT_EQ(printer_.FirstPage(), 1u);
  EXPECT_EQ(printer_.LastPage(), 2u);
}

TEST_F(PrinterTest, SeveralPagesPerSheetInReadingOrder) {
  UseFax(5);
  printer_.SetMultiPage(true);
  printer_.FaxHeader().Enabled = false;
  printer_.PrintPages();
  ASSERT_EQ(PdfPages(pdf_), 2);
  // Where the footer of each page stands on the first sheet.
  std::map<int, Word> footers;
  const std::vector<Word> words = Words(pdf_, 1);
  for (size_t i = 0; i + 1 < words.size(); ++i)
    if (words[i].text == "PAGE:") footers[std::stoi(words[i + 1].text)] = words[i];
  ASSERT_EQ(footers.size(), 4u);
  EXPECT_LT(footers[1].x, footers[2].x);
  EXPECT_NEAR(footers[1].y, footers[2].y, 1);
  EXPECT_LT(footers[2].y, footers[3].y);
  EXPECT_NEAR(footers[1].x, footers[3].x, 1);
  EXPECT_NEAR(footers[2].x, footers[4].x, 1);
  EXPECT_NEAR(footers[3].y, footers[4].y, 1);
  EXPECT_NE(PageText(pdf_, 2).find("PAGE: 5 of 5"), std::string::npos);

  // Three pages fit one sheet; in landscape two pages go on a sheet, left then right.
  UseFax(3, "FAX00002.APF");
  printer_.PrintPages();
  EXPECT_EQ(PdfPages(pdf_), 1);
  printer_.Printer().setPageOrientation(QPageLayout::Landscape);
  printer_.PrintPages();
  ASSERT_EQ(PdfPages(pdf_), 2);
  footers.clear();
  const std::vector<Word> landscape = Words(pdf_, 1);
  for (size_t i = 0; i + 1 < landscape.size(); ++i)
    if (landscape[i].text == "PAGE:") footers[std::stoi(landscape[i + 1].text)] = landscape[i];
  ASSERT_EQ(footers.size(), 2u);
  EXPECT_LT(footers[1].x, footers[2].x);
}

TEST_F(PrinterTest, EachJobIsLogged) {
  UseFax(1);
  printer_.PrintPages();
  const std::string log = LogText();
  const std::string name = fax_.string();
  EXPECT_TRUE(std::regex_match(log, std::regex("Printing " + std::regex_replace(name, std::regex("[.]"), "\\.") +
                                               " started at [^\r\n]+\r\nPrinting .+ finished at [^\r\n]+\r\n\r\n")))
      << log;
  EXPECT_EQ(logged_, (std::vector<TFaxPLCode>{lcStart, lcFinish}));
  EXPECT_EQ(PrintLogLine(lcAborted, "A.APF", "now"), "Printing A.APF aborted at now\r\n\r\n");
  // A file of no pages prints and logs nothing.
  ApfWriter writer;
  ASSERT_EQ(writer.Create(dir_ / "EMPTY.APF"), 0);
  ASSERT_EQ(writer.Close(""), 0);
  std::filesystem::remove(pdf_);
  logged_.clear();
  printer_.SetFileName((dir_ / "EMPTY.APF").string());
  printer_.PrintPages();
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  EXPECT_TRUE(logged_.empty());
  // An empty log name turns logging off.
  log_.SetLogFileName("");
  UseFax(1, "FAX00002.APF");
  printer_.PrintPages();
  EXPECT_EQ(LogText(), log);
}

TEST_F(PrinterTest, AbortStopsTheJobAndLeavesNoFile) {
  UseFax(3);
  printer_.OnNextPage = [](TFaxPrinter& printer, unsigned page, unsigned) {
    if (page == 2) printer.AbortPrint();
  };
  printer_.PrintPages();
  EXPECT_EQ(logged_, (std::vector<TFaxPLCode>{lcStart, lcAborted}));
  EXPECT_EQ(LogText().find("finished"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  EXPECT_FALSE(printer_.Printing());
  EXPECT_EQ(printer_.Progress(), ppIdle);
  // The Abort button of the status window does the same.
  printer_.OnNextPage = [this](TFaxPrinter&, unsigned page, unsigned) {
    if (page == 3) status_.StandardDisplay()->abort->click();
  };
  logged_.clear();
  printer_.PrintPages();
  EXPECT_EQ(logged_, (std::vector<TFaxPLCode>{lcStart, lcAborted}));
}

TEST_F(PrinterTest, APageThatCannotBeReadFailsTheJobAndTheNextJobStillPrints) {
  UseFax(2);
  std::filesystem::resize_file(fax_, std::filesystem::file_size(fax_) - 300);
  EXPECT_ANY_THROW(printer_.PrintPages());
  EXPECT_EQ(logged_, (std::vector<TFaxPLCode>{lcStart, lcFailed}));
  EXPECT_FALSE(printer_.Printing());
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  ASSERT_EQ(testing::WritePatternFax(dir_ / "GOOD.APF", 1), 0);
  printer_.SetFileName((dir_ / "GOOD.APF").string());
  printer_.PrintPages();
  EXPECT_EQ(PdfPages(pdf_), 1);
}

TEST(CaptionMacros, TokensRunToTheNextSpaceAndInsertedTextStays) {
  const TCaptionValues v{"08/12/26", "C:$P.APF", 3, 2, "17:05:00"};
  EXPECT_EQ(ExpandCaption("PAGE: $P of $N", v), "PAGE: 2 of 3");
  EXPECT_EQ(ExpandCaption("$X done", v), " done");
  EXPECT_EQ(ExpandCaption("$f", v), "C:$P.APF");  // never expanded again
  EXPECT_EQ(ExpandCaption("$dxyz at $t", v), "08/12/26 at 17:05:00");
  EXPECT_EQ(ExpandCaption("cost $ 5", v), "cost  5");
}

}  // namespace
}  // namespace ql
