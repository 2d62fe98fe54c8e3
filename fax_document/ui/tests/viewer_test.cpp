// The fax viewer window and its component: paging, scrolling, rotation, marking and
// copying, keeping only a few pages in memory, and the errors its messages return.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QScrollBar>
#include <QTest>

#include "app/ui/testing/application.h"
#include "fax_document/ui/fax_viewer_control.h"
#include "fax_document/ui/mono_image.h"
#include "fax_document/ui/mono_rotation.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

bool SameBitmap(const TMonoBitmap& a, const TMonoBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.IsBlack(x, y) != b.IsBlack(x, y)) return false;
  return true;
}

TMonoBitmap Unpacked(const std::filesystem::path& apf, unsigned page) {
  UnpackerCore core;
  TMonoBitmap bitmap;
  EXPECT_EQ(core.UnpackPageToBitmap(apf, page, true, bitmap), 0);
  return bitmap;
}

class ViewerTest : public ::testing::Test {
 protected:
  ViewerTest() {
    testing::EnsureApplication();
    control_.resize(500, 400);
    control_.show();
    control_.OnPageChange = [this](TFaxViewerControl&) { ++pageChanges_; };
    control_.OnViewerError = [this](TFaxViewerControl&, int code) { errors_.push_back(code); };
  }
  void Open(int pages) {
    ASSERT_EQ(testing::WritePatternFax(fax_, pages), 0);
    control_.SetFileName(fax_.string());
  }
  TViewer& viewer() { return *control_.Viewer(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(control_.Viewer(), static_cast<Qt::Key>(key), modifiers);
  }

  struct ApplicationFirst {
    ApplicationFirst() { testing::EnsureApplication(); }
  } application_;  // before any widget or printer
  testing::TempDir dir_;
  std::filesystem::path fax_ = dir_ / "FAX.APF";
  TFaxViewerControl control_;
  int pageChanges_ = 0;
  std::vector<int> errors_;
};

TEST_F(ViewerTest, OpensAtPageOneAndPagesWithKeysAndButtons) {
  Open(3);
  EXPECT_EQ(control_.PageTotal(), 3u);
  EXPECT_EQ(control_.CurrentPage(), 1u);
  EXPECT_TRUE(SameBitmap(*viewer().CurrentBitmap(), Unpacked(fax_, 1)));
  Key(Qt::Key_PageDown);
  EXPECT_EQ(control_.CurrentPage(), 2u);
  EXPECT_TRUE(SameBitmap(*viewer().CurrentBitmap(), Unpacked(fax_, 2)));
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);  // on the last page: nothing
  EXPECT_EQ(control_.CurrentPage(), 3u);
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(control_.CurrentPage(), 1u);
  viewer().ScrollBy(30, 50);
  EXPECT_EQ(viewer().HorizontalPosition(), 30);
  EXPECT_EQ(viewer().VerticalPosition(), 50);
  Key(Qt::Key_End, Qt::ControlModifier);  // page 3 at its top left
  EXPECT_EQ(control_.CurrentPage(), 3u);
  EXPECT_EQ(viewer().HorizontalPosition(), 0);
  EXPECT_EQ(viewer().VerticalPosition(), 0);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(control_.CurrentPage(), 2u);
  EXPECT_GE(pageChanges_, 5);
}

TEST_F(ViewerTest, ScrollingIsClampedAndStepsAreTheSetOnes) {
  Open(1);
  control_.SetVertScroll(20);
  Key(Qt::Key_Down);
  EXPECT_EQ(viewer().VerticalPosition(), 20);
  Key(Qt::Key_Down, Qt::ControlModifier);  // a jump of ten steps
  EXPECT_EQ(viewer().VerticalPosition(), 220);
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(viewer().VerticalPosition(), viewer().VerticalMaximum());
  viewer().ScrollBy(0, 100000);
  EXPECT_EQ(viewer().VerticalPosition(), viewer().VerticalMaximum());
  EXPECT_EQ(viewer().VerticalMaximum(), viewer().PageHeight() - viewer().viewport()->height());
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(viewer().VerticalPosition(), 0);
  viewer().ScrollBy(-50, -50);
  EXPECT_EQ(viewer().HorizontalPosition(), 0);
}

TEST_F(ViewerTest, RotationsCombineAndNewPagesTakeTheWholeRotation) {
  Open(2);
  const TMonoBitmap page = Unpacked(fax_, 1);
  control_.SetRotation(1);
  const TMonoBitmap quarter = *viewer().CurrentBitmap();
  EXPECT_EQ(quarter.Width(), page.Height());
  EXPECT_EQ(quarter.Height(), page.Width());
  // The top row of the page is the rightmost column of the turned one.
  for (int x = 0; x < page.Width(); x += 7) EXPECT_EQ(quarter.IsBlack(quarter.Width() - 1, x), page.IsBlack(x, 0));
  control_.SetRotation(3);  // from 90 to 270: two more quarter turns
  EXPECT_TRUE(SameBitmap(*viewer().CurrentBitmap(), RotateClockwise(page, 3)));
  EXPECT_TRUE(SameBitmap(RotateClockwise(RotateClockwise(page, 1), 1), RotateClockwise(page, 2)));
  EXPECT_TRUE(SameBitmap(RotateClockwise(RotateClockwise(page, 2), 2), page));
  control_.ShowNextPage();  // unpacked now, turned by the full rotation
  EXPECT_TRUE(SameBitmap(*viewer().CurrentBitmap(), RotateClockwise(Unpacked(fax_, 2), 3)));
}

TEST_F(ViewerTest, ScaleEqualFactorsAreOneToOne) {
  Open(1);
  const int w = viewer().PageWidth();
  const int quarter[4] = {1, 4, 1, 4};
  viewer().Perform(wmViewSetScale, 0, reinterpret_cast<intptr_t>(quarter));
  EXPECT_EQ(viewer().PageWidth(), w / 4);
  const int same[4] = {2, 2, 1, 1};
  viewer().Perform(wmViewSetScale, 0, reinterpret_cast<intptr_t>(same));
  EXPECT_EQ(viewer().PageWidth(), w);
  // Painted with a plain copy: the window shows the page's own pixels.
  control_.resize(300, 300);
  QApplication::processEvents();
  const QImage shown = viewer().viewport()->grab().toImage();
  const TMonoBitmap& page = *viewer().CurrentBitmap();
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      ASSERT_EQ(qGray(shown.pixel(x, y)) < 128, page.IsBlack(x, y)) << x << "," << y;
}

TEST_F(ViewerTest, MarkedBlockIsCopiedAsThatPartOfThePage) {
  Open(1);
  EXPECT_THROW(control_.CopyToClipboard(), EFaxCommException);  // nothing marked: -8051
  // A click without dragging leaves no mark.
  QTest::mouseClick(viewer().viewport(), Qt::LeftButton, {}, QPoint(60, 60));
  EXPECT_FALSE(viewer().Marked());
  // Drag from (30, 35) to (250, 180), the corner crossing over on the way.
  QTest::mousePress(viewer().viewport(), Qt::LeftButton, {}, QPoint(250, 180));
  QTest::mouseMove(viewer().viewport(), QPoint(10, 10));
  QTest::mouseMove(viewer().viewport(), QPoint(30, 35));
  QTest::mouseRelease(viewer().viewport(), Qt::LeftButton, {}, QPoint(30, 35));
  ASSERT_TRUE(viewer().Marked());
  EXPECT_EQ(viewer().Mark(), (TViewRect{30, 35, 250, 180}));
  control_.CopyToClipboard();
  const TMonoBitmap copied = MonoFromImage(QApplication::clipboard()->image());
  const TMonoBitmap page = Unpacked(fax_, 1);
  ASSERT_EQ(copied.Width(), 221);
  ASSERT_EQ(copied.Height(), 146);
  int black = 0;
  for (int y = 0; y < copied.Height(); ++y)
    for (int x = 0; x < copied.Width(); ++x) {
      ASSERT_EQ(copied.IsBlack(x, y), page.IsBlack(30 + x, 35 + y)) << x << "," << y;
      black += copied.IsBlack(x, y);
    }
  EXPECT_GT(black, 0);
  // A marked rectangle is kept inside the page.
  const TViewRect outside{-20, -20, 100000, 100000};
  EXPECT_EQ(viewer().Perform(wmViewSelect, 0, reinterpret_cast<intptr_t>(&outside)), 0);
  EXPECT_EQ(viewer().Mark(), (TViewRect{0, 0, viewer().PageWidth() - 1, viewer().PageHeight() - 1}));
}

TEST_F(ViewerTest, OnlyAFewPagesStayInMemoryUnlessTheWholeFaxIsLoaded) {
  Open(8);
  for (int i = 0; i < 7; ++i) control_.ShowNextPage();
  const size_t page = Unpacked(fax_, 1).Bits().size();
  EXPECT_LE(viewer().BytesHeld(), 2 * page);  // the last page and the one before
  control_.ShowFirstPage();
  EXPECT_TRUE(SameBitmap(*viewer().CurrentBitmap(), Unpacked(fax_, 1)));  // made again
  control_.SetLoadWholeFax(true);
  EXPECT_EQ(viewer().BytesHeld(), 8 * page);
  control_.SetLoadWholeFax(false);
  EXPECT_EQ(viewer().BytesHeld(), page);
  // A page asked for by number is unpacked for the caller and not kept.
  TViewBitmap answer;
  EXPECT_EQ(viewer().Perform(wmViewGetBitmap, 5, reinterpret_cast<intptr_t>(&answer)), 1);
  ASSERT_TRUE(answer.Bitmap);
  EXPECT_TRUE(SameBitmap(*answer.Bitmap, Unpacked(fax_, 5)));
  EXPECT_EQ(viewer().BytesHeld(), page);
  EXPECT_EQ(viewer().Perform(wmViewGetBitmap, 9, reinterpret_cast<intptr_t>(&answer)), 0);
}

TEST_F(ViewerTest, ADroppedFileIsOpenedAndTold) {
  Open(1);
  ASSERT_EQ(testing::WritePatternFax(dir_ / "DROPPED.APF", 3), 0);
  std::vector<std::string> told;
  control_.OnDropFile = [&](TFaxViewerControl& sender, const std::string&) { told.push_back(sender.FileName()); };
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir_ / "DROPPED.APF").string())),
                QUrl::fromLocalFile(QString::fromStdString(fax_.string()))});
  // As a drag arrives: entering makes the viewer the target, then the drop.
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer().viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer().viewport(), &drop);
  EXPECT_EQ(viewer().FileName(), dir_ / "DROPPED.APF");  // the first file dropped
  EXPECT_EQ(control_.PageTotal(), 3u);
  EXPECT_EQ(told, std::vector<std::string>{fax_.string()});  // the property stays
}

TEST_F(ViewerTest, ErrorsOfTheMessagesAreReturnedAndRaised) {
  EXPECT_EQ(viewer().Perform(wmViewSelectAll), ecNoImageLoaded);
  EXPECT_EQ(viewer().Perform(wmViewCopy), ecNoImageLoaded);
  const std::string missing = (dir_ / "NONE.APF").string();
  EXPECT_EQ(viewer().Perform(wmViewSetFile, 0, reinterpret_cast<intptr_t>(missing.c_str())), ecFileNotFound);
  testing::WriteFile(dir_ / "TEXT.APF", "not a fax at all, but long enough to hold a header of sixty-four bytes....");
  const std::string text = (dir_ / "TEXT.APF").string();
  EXPECT_EQ(viewer().Perform(wmViewSetFile, 0, reinterpret_cast<intptr_t>(text.c_str())), ecFaxBadFormat);
  EXPECT_THROW(control_.SetFileName(text), EFaxBadFormat);
  Open(2);
  EXPECT_EQ(viewer().Perform(wmViewGotoPage, 0), ecBadArgument);
  EXPECT_EQ(viewer().Perform(wmViewGotoPage, 3), ecBadArgument);
  EXPECT_THROW(control_.SetCurrentPage(3), EBadArgument);
  EXPECT_EQ(viewer().Perform(wmViewSetWhitespace, 0, 1), ecBadArgument);
  // A page that cannot be read once the file is open reports a viewer error and leaves
  // the viewer empty.
  std::filesystem::resize_file(fax_, std::filesystem::file_size(fax_) - 200);
  control_.ShowNextPage();
  EXPECT_EQ(errors_, std::vector<int>{ecReadBeyondEnd});
  EXPECT_EQ(control_.CurrentPage(), 0u);
  // The message window reaches the same procedure.
  intptr_t pages = -1;
  ASSERT_TRUE(SendMessageTimeout(viewer().Handle(), wmViewGetNumPages, 0, 0, 1000, &pages));
  EXPECT_EQ(pages, 0);
}

}  // namespace
}  // namespace ql
