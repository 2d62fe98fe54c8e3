// Dropping documents on the fax desk's outgoing list, as a file manager does: every
// readable file becomes a new outgoing row with its fax file in the send folder.

#include "app/document_drop/document_drop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

#include <cstdlib>
#include <fstream>

#include "app/fax_store/fax_store.h"
#include "app/main_window/main_screen.h"
#include "app/settings/settings.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_document/apf/apf_file.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class DocumentDropTest : public ::testing::Test {
 protected:
  DocumentDropTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    StartTableSession();
    IniFile ini(dir_ / "QL.INI");  // not a first run: no Preferences at start
    ini.WriteInteger("Modem", "ComPort", 0);
    EXPECT_TRUE(ini.Save());
    std::filesystem::create_directories(docs_);
  }

  std::filesystem::path Document(const std::string& name, const std::string& content) {
    std::ofstream(docs_ / name, std::ios::binary) << content;
    return docs_ / name;
  }
  // A two-page PDF drawn by Ghostscript.
  std::filesystem::path Pdf(const std::string& name) {
    const auto ps = Document(name + ".ps",
                             "%!PS\n/Helvetica findfont 30 scalefont setfont\n"
                             "72 700 moveto (First page) show showpage 72 700 moveto (Second page) show showpage\n");
    const auto pdf = docs_ / name;
    EXPECT_EQ(std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile='" + pdf.string() + "' '" +
                           ps.string() + "'")
                              .c_str()),
              0);
    return pdf;
  }

  // Drags the files over the outgoing list and drops them; true when both the drag and
  // the drop were accepted.
  static bool Drop(TMainScreen& desk, const std::vector<std::filesystem::path>& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
    mime.setUrls(urls);
    return DropMime(desk, mime);
  }
  static bool DropMime(TMainScreen& desk, const QMimeData& mime) {
    QWidget* target = desk.OutView()->viewport();
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }
  // Lets the window work until the outgoing list has `rows` rows (or 60 s have passed).
  static bool WaitForRows(TMainScreen& desk, int rows, const testing::ModalAnswerer* answerer = nullptr) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
      const bool answered = answerer == nullptr || answerer->Pending() == 0;
      if (desk.OutModel()->rowCount() == rows && answered) {
        QApplication::processEvents();
        return true;
      }
    }
    return false;
  }
  static OutgoingFax CurrentRow(TMainScreen& desk) {
    OutgoingFax row;
    desk.OutTable().Go(desk.List(TListTab::ltOutgoing).CurrentRecNo());
    ReadOutgoing(desk.OutTable(), row);
    return row;
  }
  static int Pages(const std::filesystem::path& apf) {
    ApfReader reader;
    return reader.Open(apf) < 0 ? -1 : reader.PageCount();
  }
  std::vector<std::string> SendFiles() const {
    std::vector<std::string> names;
    if (std::filesystem::exists(dir_ / "SEND"))
      for (const auto& e : std::filesystem::directory_iterator(dir_ / "SEND")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir dir_;
  std::filesystem::path docs_ = dir_ / "documents";
};

TEST_F(DocumentDropTest, DroppedDocumentsBecomeOutgoingRows) {
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  AcceptDocumentDrops(desk);
  desk.show();
  const int before = desk.OutModel()->rowCount();

  ASSERT_TRUE(Drop(desk, {Pdf("Quarterly report.pdf")}));
  ASSERT_TRUE(WaitForRows(desk, before + 1));
  OutgoingFax row = CurrentRow(desk);
  EXPECT_EQ(row.subject, "Quarterly report.pdf");
  EXPECT_EQ(row.faxDoc, "FAX00000.APF");
  EXPECT_EQ(row.phone, "");
  EXPECT_EQ(Pages(dir_ / "SEND" / row.faxDoc), 2);

  // Two files in one drop: two rows, the last one current.
  ASSERT_TRUE(Drop(desk, {Document("memo.txt", "Memo\r\n\r\nThe meeting moves to Friday.\r\n"), Pdf("b.pdf")}));
  ASSERT_TRUE(WaitForRows(desk, before + 3));
  row = CurrentRow(desk);
  EXPECT_EQ(row.subject, "b.pdf");
  EXPECT_EQ(SendFiles(), (std::vector<std::string>{"FAX00000.APF", "FAX00001.APF", "FAX00002.APF"}));
}

TEST_F(DocumentDropTest, UnreadableFileIsReportedAndLeavesNothing) {
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  AcceptDocumentDrops(desk);
  desk.show();
  const int before = desk.OutModel()->rowCount();
  testing::ModalAnswerer answerer;
  answerer.ThenPress(QMessageBox::Ok);
  const auto broken = Document("broken.pdf", "%PDF-1.4\n" + std::string(2000, '#') + "\n");
  const auto good = Document("note.txt", "A short note.\n");
  ASSERT_TRUE(Drop(desk, {broken, good}));
  ASSERT_TRUE(WaitForRows(desk, before + 1, &answerer));
  EXPECT_EQ(CurrentRow(desk).subject, "note.txt");
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].caption, "Error");
  EXPECT_TRUE(answerer.Seen()[0].text.contains("broken.pdf")) << answerer.Seen()[0].text.toStdString();
  EXPECT_EQ(SendFiles(), std::vector<std::string>{"FAX00000.APF"});
}

// A damaged PDF that Ghostscript could still read makes its fax, with a word to check it.
TEST_F(DocumentDropTest, RepairedDocumentIsAddedWithANote) {
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  AcceptDocumentDrops(desk);
  desk.show();
  const int before = desk.OutModel()->rowCount();
  const auto pdf = Pdf("cut.pdf");
  std::filesystem::resize_file(pdf, std::filesystem::file_size(pdf) * 2 / 3);
  testing::ModalAnswerer answerer;
  answerer.ThenPress(QMessageBox::Ok);
  ASSERT_TRUE(Drop(desk, {pdf}));
  ASSERT_TRUE(WaitForRows(desk, before + 1, &answerer));
  EXPECT_EQ(CurrentRow(desk).subject, "cut.pdf");
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].caption, "Information");
  EXPECT_TRUE(answerer.Seen()[0].text.contains("damaged")) << answerer.Seen()[0].text.toStdString();
}

TEST_F(DocumentDropTest, OnlyLocalFilesAreTaken) {
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  AcceptDocumentDrops(desk);
  QMimeData text;
  text.setText("just words");
  EXPECT_FALSE(DropMime(desk, text));
  QMimeData remote;
  remote.setUrls({QUrl("https://example.com/a.pdf")});
  EXPECT_FALSE(DropMime(desk, remote));
  // The received list takes no drops.
  desk.SelectTab(TListTab::ltReceived);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(Document("x.txt", "x").string()))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(desk.RecView()->viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

}  // namespace
}  // namespace ql
