// The send flow without a modem: the header line, the status window's values and
// clocks, the send file made from a row, and the Send Fax dialog's settings and errors.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <cstdlib>

#include "app/fax_store/fax_store.h"
#include "app/receive_mode/receive_mode.h"
#include "app/send_flow/fax_status.h"
#include "app/send_flow/header_line.h"
#include "app/send_flow/send_fax_form.h"
#include "app/send_flow/send_file.h"
#include "app/settings/port_settings.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "platform/data_folder.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute) {
  std::tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(HeaderLine, NamesTheSenderAndTheMomentIn12HourTime) {
  const std::time_t evening = LocalTime(2026, 12, 8, 18, 42);
  EXPECT_EQ(BuildHeader("Ann Smith", "+1 555 0100", evening), "Page $P of $N, Sent by Ann Smith, $I  on 8 Dec 2026 at 06:42pm");
  EXPECT_EQ(BuildHeader("", "", LocalTime(2026, 1, 15, 0, 5)), "Page $P of $N, Sent  on 15 Jan 2026 at 12:05am");
  EXPECT_EQ(BuildHeader("", "ID", LocalTime(2026, 7, 1, 12, 0)), "Page $P of $N, Sent by  $I  on 1 Jul 2026 at 12:00pm");
}

TEST(FaxStatusValues, TextsBarAndClocks) {
  EXPECT_EQ(ShortFileName("/home/ann/.local/share/quillet/FAX00012.APF"), "FAX00012.APF");
  EXPECT_EQ(ShortFileName("C:\\SEND\\A-VERY-LONG-FILE-NAME-INDEED.APF"), "A-VERY-LONG-FILE-NAM...");
  EXPECT_EQ(FormatClock(65), "  1:05");
  EXPECT_EQ(FormatClock(3600), " 60:00");
  EXPECT_EQ(PageBarValue(0, 0), 0);
  EXPECT_EQ(PageBarValue(1, 3), 33);
  EXPECT_EQ(PageBarValue(2, 3), 67);
  EXPECT_EQ(PageBarValue(5, 3), 100);

  TFaxStatusSnapshot s;
  s.currentPage = 0;
  s.fine = true;
  s.wide = false;
  s.ecm = true;
  s.bytes = 500;
  s.pageLength = 1000;
  TFaxStatusValues v = FormatFaxStatus(s);
  EXPECT_EQ(v.currentPage, "<cover page>");
  EXPECT_EQ(v.resolution, "high");
  EXPECT_EQ(v.width, "1728");
  EXPECT_EQ(v.errorControl, "on");
  EXPECT_EQ(v.bar, 50);
  s.receive = true;
  EXPECT_EQ(FormatFaxStatus(s).currentPage, "0");

  TStatusClock clock;
  EXPECT_EQ(clock.Elapsed(5000), "00:00");
  clock.OnStatus(2, 1000);
  EXPECT_EQ(clock.Elapsed(5000), "00:00");  // dialling does not start it
  clock.OnStatus(41, 2000);
  EXPECT_EQ(clock.Elapsed(64500), "  1:02");
  clock.OnStatus(43, 10000);
  EXPECT_EQ(clock.Elapsed(99000), "  0:08");  // stopped
  TStatusClock redial;
  redial.OnStatus(3, 0);
  EXPECT_TRUE(redial.CountingDown());
  EXPECT_EQ(redial.Countdown(15000, 60), "  0:45");
  redial.OnStatus(2, 60000);
  EXPECT_FALSE(redial.CountingDown());
}

TEST(FaxStatusWindow, AReceiveHidesTheBar) {
  testing::EnsureApplication();
  TStandardFaxDisplay display(nullptr);
  TFaxStatusSnapshot s;
  s.receive = true;
  s.statusText = "Getting page data";
  s.remoteId = "FAR";
  display.ShowValues(s, 0);
  EXPECT_EQ(display.BarLabel()->text(), "Page progress: N/A");
  EXPECT_TRUE(display.Bar()->isHidden());
  EXPECT_EQ(display.Value("Remote ID:"), "FAR");
  EXPECT_EQ(display.Value("Status:"), "Getting page data");
  EXPECT_EQ(display.Value("Elapsed time:"), "00:00");
  s.receive = false;
  s.progress = 3;
  s.statusText = "Busy, waiting until redial...";
  display.ShowValues(s, 60);
  EXPECT_TRUE(display.Value("Status:").startsWith("Busy, waiting until redial...   1:00"));
  EXPECT_FALSE(display.Bar()->isHidden());
}

TEST(ReceiveStatusBar, NamesTheFarMachineAndDropsAborts) {
  EXPECT_EQ(TReceiveMode::StatusBarText("Getting page data", "ACME", 2), "Getting page data [ from ACME page 2]");
  EXPECT_EQ(TReceiveMode::StatusBarText("Waiting for incoming call", "", 0), "Waiting for incoming call");
  EXPECT_EQ(TReceiveMode::StatusBarText("User abort", "", 0), "");
}

class SendFileTest : public ::testing::Test {
 protected:
  SendFileTest() {
    SetDataFolder(dir.path());
    EnsureWorkFolders();
  }
  void Put(const std::string& name, int pages) {
    fs::create_directories(dir.path() / "letters");
    fs::copy_file(testing::WriteLetter(dir.path() / "letters", name, {pages, 8, false, false}), SendFolder() / name);
  }
  testing::TempDir dir;
};

TEST_F(SendFileTest, CoverFirstThenBodyAndMissingFilesSkipped) {
  Put("FAX00001.APF", 3);
  Put("COV00001.APF", 1);
  OutgoingFax row;
  row.faxDoc = "FAX00001.APF";
  row.faxCover = "COV00001.APF";
  fs::path file;
  ASSERT_EQ(PrepareSendFile(row, file), TPrepareResult::prReady);
  const auto pages = testing::DecodeApf(file);
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(testing::Difference(pages[0], testing::DecodeApf(SendFolder() / "COV00001.APF")[0]), "");  // unchanged
  EXPECT_TRUE(fs::equivalent(file.parent_path(), AppFolderPath()));  // a temporary file of the data folder
  fs::remove(file);

  row.faxDoc = "GONE.APF";  // the cover alone
  ASSERT_EQ(PrepareSendFile(row, file), TPrepareResult::prReady);
  EXPECT_EQ(testing::DecodeApf(file).size(), 1u);
  fs::remove(file);
  row.faxCover = "";
  EXPECT_EQ(PrepareSendFile(row, file), TPrepareResult::prNothingToSend);

  testing::WriteFile(SendFolder() / "BAD.APF", "not a fax at all");
  row.faxDoc = "../SEND/BAD.APF";  // a stored name never leaves the folder, and is read there
  EXPECT_EQ(PrepareSendFile(row, file), TPrepareResult::prBodyUnreadable);
  for (const auto& e : fs::directory_iterator(AppFolderPath())) EXPECT_NE(e.path().extension(), ".APF") << e.path();
  EXPECT_EQ(FaxDescription("Bob", "Report"), "To: Bob ,   Subject: Report");
  EXPECT_EQ(FaxDescription("", "Report"), "Subject: Report");
}

TEST_F(SendFileTest, TheDialogKeepsItsSettingsAndSaysWhyAPortDidNotOpen) {
  testing::EnsureApplication();
  InstallSettingsPortResolver();
  Settings() = TSettings{};
  Settings().PortDevices[0] = (dir.path() / "nothing-here").string();
  Settings().ComPort = 0;
  Settings().DialAttempts = 4;
  TSendFaxForm form(nullptr, (dir.path() / "x.apf").string(), "555");
  form.findChild<QLineEdit*>("dialAttempts")->setText("abc");
  form.findChild<QLineEdit*>("retryWait")->setText("20");
  form.findChild<QLineEdit*>("initString")->setText("M0");
  TSettings taken = Settings();
  form.TakeFields(taken);
  EXPECT_EQ(taken.DialAttempts, 4);  // not a number: the setting stays
  EXPECT_EQ(taken.RetryWait, 20);
  EXPECT_EQ(taken.InitString, "M0");

  testing::ModalAnswerer answers;
  QString box;
  answers.ThenOn("Information", [&](QWidget* w) {
    box = qobject_cast<QMessageBox*>(w)->text();
    qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
  });
  form.SendFax();
  EXPECT_TRUE(box.startsWith("Unable to open the specified communications port ( Com1 )")) << box.toStdString();
  EXPECT_FALSE(form.Busy());
  EXPECT_EQ(form.Result(), "Cancelled");
  EXPECT_FALSE(form.Port().Open());
}

}  // namespace
}  // namespace ql
