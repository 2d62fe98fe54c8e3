// The view and print command over a desk window: preparing the row's fax into
// temporary files, the titles, the failures, and the files gone after the viewer closes.

#include "app/view/view_command.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <regex>

#include "app/settings/work_folders.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "app/view/view_files.h"
#include "fax_document/components/fax_normalise.h"
#include "fax_document/ui/fax_view_window.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "fax_document/unpack/unpacker_core.h"
#include "platform/data_folder.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

// What the view window showed while it was open.
struct Seen {
  QString status;
  std::string header;
  unsigned pages = 0;
  std::string file;
  bool firstPageIsCover = false;
};

class ViewCommandTest : public ::testing::Test {
 protected:
  ViewCommandTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    EnsureWorkFolders();
    desk_.setCentralWidget(new QWidget(&desk_));
  }
  // Runs the command; the view window, once open, is looked at and closed.
  Seen View(const TViewSubject& subject, const std::filesystem::path& cover = {}) {
    Seen seen;
    answers_.Then([&](QWidget* modal) {
      auto* window = qobject_cast<TFaxViewer*>(modal);
      ASSERT_NE(window, nullptr);
      seen.status = window->StatusLabel()->text();
      seen.header = window->FaxPrinter()->FaxHeader().Caption;
      seen.pages = window->ViewerControl()->PageTotal();
      seen.file = window->FileShown();
      if (!cover.empty()) {
        UnpackerCore core;
        TMonoBitmap shown, original;
        core.UnpackPageToBitmap(window->FileShown(), 1, true, shown);
        core.UnpackPageToBitmap(cover, 1, true, original);
        seen.firstPageIsCover = shown.Bits() == original.Bits() && shown.Width() == original.Width();
      }
      window->accept();
    });
    ViewFax(desk_, subject);
    return seen;
  }
  // The command's temporary files ("FAX" + five digits + ".APF" in the data folder).
  int TemporaryFiles() const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      n += std::regex_match(entry.path().filename().string(), std::regex("FAX[0-9]{5}\\.APF"));
    return n;
  }

  struct ApplicationFirst {
    ApplicationFirst() { testing::EnsureApplication(); }
  } application_;  // before any widget
  testing::TempDir dir_;
  QMainWindow desk_;
  testing::ModalAnswerer answers_;
};

TEST_F(ViewCommandTest, ReceivedFaxIsShownFromACopyUnderItsSender) {
  ASSERT_EQ(testing::WritePatternFax(ReceiveFolder() / "FAX0001.APF", 2, false), 0);
  const std::string before = testing::ReadFile(ReceiveFolder() / "FAX0001.APF");
  TViewSubject subject;
  subject.received = true;
  subject.receivedRow.from = "ACME";
  subject.receivedRow.notes = "invoice";
  subject.receivedRow.faxFile = "FAX0001.APF";
  const Seen seen = View(subject);
  EXPECT_EQ(seen.status, QStringLiteral("ACME - invoice: Page 1 of 2"));
  EXPECT_EQ(seen.header, "ACME - invoice");
  EXPECT_EQ(seen.pages, 2u);
  EXPECT_EQ(std::filesystem::path(seen.file).parent_path(), dir_.path());
  EXPECT_EQ(TemporaryFiles(), 0);  // deleted when the window closed
  EXPECT_EQ(testing::ReadFile(ReceiveFolder() / "FAX0001.APF"), before);
  EXPECT_FALSE(desk_.statusBar()->isVisible());
  EXPECT_TRUE(desk_.centralWidget()->isEnabled());
  // Without sender and notes the title is "Fax printout".
  subject.receivedRow.from.clear();
  subject.receivedRow.notes.clear();
  EXPECT_EQ(View(subject).status, QStringLiteral("Fax printout: Page 1 of 2"));
}

TEST_F(ViewCommandTest, CoverAndBodyAreShownAsOneFaxCoverFirst) {
  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "COV00000.APF", 1, true), 0);
  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "FAX00000.APF", 3, false), 0);
  TViewSubject subject;
  subject.outgoingRow.faxCover = "COV00000.APF";
  subject.outgoingRow.faxDoc = "FAX00000.APF";
  subject.outgoingRow.recipient = "Bob";
  subject.outgoingRow.subject = "Budget";
  const Seen seen = View(subject, SendFolder() / "COV00000.APF");
  EXPECT_EQ(seen.pages, 4u);
  EXPECT_TRUE(seen.firstPageIsCover);
  EXPECT_EQ(seen.header, "To: Bob ,   Subject: Budget");
  EXPECT_EQ(TemporaryFiles(), 0);
  // The body alone, and only a subject.
  subject.outgoingRow.faxCover.clear();
  subject.outgoingRow.recipient.clear();
  const Seen body = View(subject);
  EXPECT_EQ(body.pages, 3u);
  EXPECT_EQ(body.header, "Subject: Budget");
  EXPECT_EQ(TemporaryFiles(), 0);
}

TEST_F(ViewCommandTest, NothingToViewAndFilesThatCannotBeOpened) {
  TViewSubject subject;
  subject.received = true;
  subject.receivedRow.faxFile = "FAX0009.APF";  // deleted by hand
  answers_.ThenPress(QMessageBox::Ok);
  ViewFax(desk_, subject);
  ASSERT_EQ(answers_.Seen().size(), 1u);
  EXPECT_EQ(answers_.Seen()[0].text, QStringLiteral("Error - nothing to view"));
  // An outgoing body that is not a fax.
  testing::WriteFile(SendFolder() / "FAX00004.APF", "garbage, not a fax");
  subject = TViewSubject{};
  subject.outgoingRow.faxDoc = "FAX00004.APF";
  answers_.ThenPress(QMessageBox::Ok);
  ViewFax(desk_, subject);
  ASSERT_EQ(answers_.Seen().size(), 2u);
  EXPECT_EQ(answers_.Seen()[1].text, QStringLiteral("Error opening fax file"));
  EXPECT_EQ(TemporaryFiles(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone
  // A stored name cannot reach outside its folder.
  ASSERT_EQ(testing::WritePatternFax(dir_ / "OUTSIDE.APF", 1), 0);
  TViewFiles files;
  OutgoingFax row;
  row.faxDoc = "../OUTSIDE.APF";
  EXPECT_EQ(files.PrepareOutgoing(row), TViewPrepared::vpNothing);
}

// The pages of a file as bitmaps, for comparing two files page by page.
std::vector<std::vector<uint8_t>> PageBits(const std::filesystem::path& file) {
  UnpackerCore core;
  ApfFileHeader header;
  std::vector<std::vector<uint8_t>> pages;
  if (core.ReadFileHeader(file, header) < 0) return pages;
  for (unsigned p = 1; p <= header.PageCount; ++p) {
    TMonoBitmap bitmap;
    core.UnpackPageToBitmap(file, p, true, bitmap);
    pages.push_back(bitmap.Bits());
  }
  return pages;
}

TEST_F(ViewCommandTest, ALongFaxShowsItsFirstPageBeforeTheRestIsNormalised) {
  ASSERT_EQ(testing::WritePatternFax(ReceiveFolder() / "FAX0002.APF", 4, false), 0);
  ASSERT_EQ(NormaliseFax(ReceiveFolder() / "FAX0002.APF", dir_ / "WHOLE.APF", dir_.path()), 0);
  TViewFiles files;
  ReceivedFax row;
  row.faxFile = "FAX0002.APF";
  ASSERT_EQ(files.PrepareReceived(row), TViewPrepared::vpReady);
  EXPECT_TRUE(files.Pending());
  EXPECT_EQ(files.FinalPages(), 1u);
  const auto whole = PageBits(dir_ / "WHOLE.APF");
  auto shown = PageBits(files.Shown());
  ASSERT_EQ(shown.size(), 4u);  // every page is there from the start
  EXPECT_EQ(shown[0], whole[0]);
  EXPECT_EQ(files.Finish(), 0);
  EXPECT_FALSE(files.Pending());
  EXPECT_EQ(files.FinalPages(), 4u);
  EXPECT_TRUE(PageBits(files.Shown()) == whole);  // as if normalised in one go
  files.Remove();
  std::filesystem::remove(dir_ / "WHOLE.APF");
  EXPECT_EQ(TemporaryFiles(), 0);

  // In the window: going to the last page finishes the file before that page is read,
  // and closing the window half way leaves no page files behind.
  TViewSubject subject;
  subject.received = true;
  subject.receivedRow = row;
  bool pendingAtOpen = false;
  std::vector<uint8_t> lastPage;
  answers_.Then([&](QWidget* modal) {
    auto* window = qobject_cast<TFaxViewer*>(modal);
    ASSERT_NE(window, nullptr);
    pendingAtOpen = window->Preparing();
    window->ViewerControl()->ShowLastPage();
    EXPECT_FALSE(window->Preparing());
    lastPage = window->ViewerControl()->Viewer()->CurrentBitmap()->Bits();
    window->accept();
  });
  ViewFax(desk_, subject);
  EXPECT_TRUE(pendingAtOpen);
  EXPECT_EQ(lastPage, whole[3]);
  answers_.Then([&](QWidget* modal) { qobject_cast<TFaxViewer*>(modal)->accept(); });
  ViewFax(desk_, subject);
  EXPECT_EQ(TemporaryFiles(), 0);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_NE(entry.path().extension(), ".apf") << entry.path();
}

TEST_F(ViewCommandTest, APageThatFailsLaterClosesTheWindowWithTheOpeningError) {
  // A cover shows at once; the last record of the body's second page claims more bytes
  // than the file holds, which only normalising that page finds.
  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "COV00001.APF", 1, true), 0);
  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "FAX00001.APF", 2, true), 0);
  std::string body = testing::ReadFile(SendFolder() / "FAX00001.APF");
  body[body.size() - 14] = static_cast<char>(0xA0);  // the end-of-page record's count: 4000
  body[body.size() - 13] = 0x0F;
  testing::WriteFile(SendFolder() / "FAX00001.APF", body);
  TViewSubject subject;
  subject.outgoingRow.faxCover = "COV00001.APF";
  subject.outgoingRow.faxDoc = "FAX00001.APF";
  answers_.Then([&](QWidget* modal) {
    auto* window = qobject_cast<TFaxViewer*>(modal);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Preparing());
    EXPECT_FALSE(window->SaveAsPdf(QString::fromStdString((dir_ / "out.pdf").string())));
  });
  answers_.ThenPress(QMessageBox::Ok);
  ViewFax(desk_, subject);
  ASSERT_EQ(answers_.Seen().size(), 2u);
  EXPECT_EQ(answers_.Seen()[1].text, QStringLiteral("Error opening fax file"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.pdf"));
  EXPECT_EQ(TemporaryFiles(), 0);
}

}  // namespace
}  // namespace ql
