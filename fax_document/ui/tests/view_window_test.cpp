// The fax view window as a user meets it: the zoom menu and its check mark, the page
// buttons, zoom limits, rotation, printing controls, the status line, failures, and the
// PDF, PNG and thumbnail additions.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QAbstractButton>
#include <QLabel>
#include <QPrinter>
#include <QTest>
#include <QWheelEvent>

#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_document/ui/fax_view_window.h"
#include "fax_document/ui/mono_image.h"
#include "fax_document/ui/page_strip.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class ViewWindowTest : public ::testing::Test {
 protected:
  ViewWindowTest() { testing::EnsureApplication(); }
  ~ViewWindowTest() override { SetPdfPrinterOffered(true); }

  // A window on a fax of `pages` pages, shown as the view command shows it.
  std::unique_ptr<TFaxViewer> Open(int pages, const std::string& prefix = {}) {
    EXPECT_EQ(testing::WritePatternFax(fax_, pages), 0);
    TViewWindowHooks hooks;
    hooks.Beep = [this] { ++beeps_; };
    hooks.SavePlacement = [this](QWidget*) { ++placementsSaved_; };
    auto window = std::make_unique<TFaxViewer>(nullptr, hooks);
    window->SetFileToShow(fax_.string());
    window->SetCaptionPrefix(prefix);
    window->show();
    QApplication::processEvents();
    return window;
  }
  QString Status(TFaxViewer& w) { return w.StatusLabel()->text(); }

  testing::TempDir dir_;
  std::filesystem::path fax_ = dir_ / "FAX00000.APF";
  int beeps_ = 0;
  int placementsSaved_ = 0;
};

TEST_F(ViewWindowTest, OpensAtLevelFiftyWithTheHundredPercentItemChecked) {
  auto w = Open(3);
  EXPECT_EQ(w->ZoomLevel(), 50);
  EXPECT_TRUE(w->ZoomItem(50)->isChecked());
  EXPECT_EQ(w->ZoomItem(50)->text(), QStringLiteral("100%"));
  for (int level : {25, 75, 100}) EXPECT_FALSE(w->ZoomItem(level)->isChecked());
  for (int r = 0; r < 4; ++r) EXPECT_FALSE(w->RotationItem(r)->isChecked());
  EXPECT_EQ(w->ViewerControl()->Viewer()->PageWidth(), w->ViewerControl()->PageWidthPixels() / 2);
  EXPECT_EQ(Status(*w), QStringLiteral("Page 1 of 3"));
  for (const char* hint : {"First page", "Previous page", "Next page", "Last page"})
    EXPECT_TRUE(w->Control(QString::fromLatin1(hint))->isVisible()) << hint;
  static_cast<QAbstractButton*>(w->Control(QStringLiteral("Last page")))->click();
  EXPECT_EQ(Status(*w), QStringLiteral("Page 3 of 3"));
  w->ZoomItem(25)->trigger();
  EXPECT_TRUE(w->ZoomItem(25)->isChecked());
  EXPECT_FALSE(w->ZoomItem(50)->isChecked());
}

TEST_F(ViewWindowTest, ZoomStopsWithABeepAtEitherEnd) {
  auto w = Open(1);
  w->ZoomIn();
  w->ZoomIn();
  EXPECT_EQ(w->ZoomLevel(), 100);
  EXPECT_EQ(beeps_, 0);
  const int width = w->ViewerControl()->Viewer()->PageWidth();
  w->ZoomIn();  // at 100 only a beep
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(w->ZoomLevel(), 100);
  EXPECT_EQ(w->ViewerControl()->Viewer()->PageWidth(), width);
  for (int i = 0; i < 3; ++i) w->ZoomOut();
  EXPECT_EQ(w->ZoomLevel(), 25);
  EXPECT_EQ(w->ViewerControl()->Viewer()->PageWidth(), width / 4);
  w->ZoomOut();
  EXPECT_EQ(beeps_, 2);
  EXPECT_EQ(w->ZoomLevel(), 25);
  // Ctrl + wheel zooms as well.
  QWheelEvent up(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(w->ViewerControl()->Viewer()->viewport(), &up);
  EXPECT_EQ(w->ZoomLevel(), 50);
}

TEST_F(ViewWindowTest, AOnePageFaxHasNoPageButtonsOrThumbnails) {
  auto w = Open(1, "ACME - invoice");
  for (const char* hint : {"First page", "Previous page", "Next page", "Last page"})
    EXPECT_FALSE(w->Control(QString::fromLatin1(hint))->isVisible()) << hint;
  EXPECT_FALSE(w->PageStrip()->isVisible());
  EXPECT_EQ(Status(*w), QStringLiteral("ACME - invoice: Page 1 of 1"));
}

TEST_F(ViewWindowTest, RotationItemsTurnThePageAndCarryTheCheck) {
  auto w = Open(1);
  w->SetZoom(100);
  const auto page = w->ViewerControl()->Viewer()->CurrentBitmap();
  w->RotationItem(1)->trigger();
  w->RotationItem(2)->trigger();
  EXPECT_TRUE(w->RotationItem(2)->isChecked());
  EXPECT_FALSE(w->RotationItem(1)->isChecked());
  EXPECT_EQ(w->ViewerControl()->Rotation(), 2);
  const auto turned = w->ViewerControl()->Viewer()->CurrentBitmap();
  ASSERT_EQ(turned->Width(), page->Width());
  EXPECT_EQ(turned->IsBlack(turned->Width() - 1 - 300, turned->Height() - 1 - 600), page->IsBlack(300, 600));
}

TEST_F(ViewWindowTest, WithoutAPrinterPrintAndPrinterSetupAreDisabled) {
  SetPdfPrinterOffered(false);
  auto w = Open(2);
  EXPECT_FALSE(w->Control(QStringLiteral("Print"))->isEnabled());
  EXPECT_FALSE(w->Control(QStringLiteral("Printer setup"))->isEnabled());
  EXPECT_TRUE(w->Control(QStringLiteral("Print current page"))->isVisible());
  SetPdfPrinterOffered(true);
  auto other = Open(2);
  EXPECT_TRUE(other->Control(QStringLiteral("Print"))->isEnabled());
  EXPECT_TRUE(other->Control(QStringLiteral("Printer setup"))->isEnabled());
}

TEST_F(ViewWindowTest, PrintCurrentPagePrintsThatPageAndPrintThenAll) {
  auto w = Open(3, "Title");
  const std::filesystem::path pdf = dir_ / "print.pdf";
  w->FaxPrinter()->Printer().setOutputFormat(QPrinter::PdfFormat);
  w->FaxPrinter()->Printer().setOutputFileName(QString::fromStdString(pdf.string()));
  w->ViewerControl()->SetCurrentPage(2);
  std::vector<unsigned> printed;
  w->FaxPrinter()->OnNextPage = [&](TFaxPrinter&, unsigned page, unsigned) { printed.push_back(page); };
  w->PrintCurrentPage();
  EXPECT_EQ(printed, std::vector<unsigned>{2});
  printed.clear();
  w->Print();
  EXPECT_EQ(printed, (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(w->FaxPrinter()->PrintScale(), psFitToPage);
}

TEST_F(ViewWindowTest, AFileThatCannotBeOpenedLeavesNoFileLoaded) {
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  TFaxViewer w;
  testing::WriteFile(dir_ / "BAD.APF", "this is not a fax file");
  w.SetFileToShow((dir_ / "BAD.APF").string());
  w.show();
  QApplication::processEvents();
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, QStringLiteral("Error opening fax file"));
  EXPECT_EQ(Status(w), QStringLiteral("No file loaded"));
  EXPECT_TRUE(w.FileShown().empty());
  EXPECT_EQ(w.ViewerControl()->PageTotal(), 0u);
}

TEST_F(ViewWindowTest, SavesTheFaxAsPdfAndThePageAsPng) {
  auto w = Open(2);
  const QString pdf = QString::fromStdString((dir_ / "fax.pdf").string());
  ASSERT_TRUE(w->SaveAsPdf(pdf));
  EXPECT_EQ(testing::ReadFile(pdf.toStdString()).substr(0, 5), "%PDF-");
  w->ViewerControl()->SetCurrentPage(2);
  const QString png = QString::fromStdString((dir_ / "page.png").string());
  ASSERT_TRUE(w->SavePageAsPng(png));
  const TMonoBitmap saved = MonoFromImage(QImage(png));
  const auto page = w->ViewerControl()->Viewer()->CurrentBitmap();
  ASSERT_EQ(saved.Width(), page->Width());
  ASSERT_EQ(saved.Height(), page->Height());
  for (int y = 0; y < saved.Height(); y += 13)
    for (int x = 0; x < saved.Width(); x += 3) ASSERT_EQ(saved.IsBlack(x, y), page->IsBlack(x, y));
}

TEST_F(ViewWindowTest, ThumbnailStripShowsPagesAndCanBeHidden) {
  auto w = Open(4);
  ASSERT_TRUE(w->PageStrip()->isVisible());
  EXPECT_EQ(w->PageStrip()->count(), 4);
  QTest::qWait(100);  // the pictures in sight are made after the window has painted
  EXPECT_GT(w->PageStrip()->Made(), 0);
  w->PageStrip()->setCurrentRow(2);  // a click on the third picture
  EXPECT_EQ(w->ViewerControl()->CurrentPage(), 3u);
  w->ViewerControl()->ShowFirstPage();
  EXPECT_EQ(w->PageStrip()->currentRow(), 0);
  w->ThumbnailsItem()->trigger();
  EXPECT_FALSE(w->PageStrip()->isVisible());
  w->close();
  EXPECT_EQ(placementsSaved_, 1);
  // Help has a page of its own.
  EXPECT_TRUE(HelpPagePath(TFaxViewer::kHelpTopic).endsWith(QStringLiteral("/1021.html")));
}

}  // namespace
}  // namespace ql
