// The fax desk as a user drives it, on a fresh data folder whose ports are virtual fax
// modems: a row sent through the Send Fax dialog with its progress window, a busy
// number, and the modem tools on the line's modems. Each test runs a line of its own.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <functional>
#include <set>
#include <thread>

#include "app/desk_flows/desk_flows.h"
#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/main_screen.h"
#include "app/modem_tools/check_fax_class.h"
#include "app/modem_tools/find_modem.h"
#include "app/receive_mode/receive_mode.h"
#include "app/send_flow/fax_status.h"
#include "app/send_flow/header_line.h"
#include "app/send_flow/send_file.h"
#include "app/settings/port_settings.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_engine/components/send_fax.h"
#include "fax_engine/tests/interop/fax_line.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "platform/data_folder.h"
#include "platform/message_windows/qt_message_pump.h"
#include "serial/comport/com_port.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRemoteId = "ACME REMOTE";

class DeskCall : public ::testing::Test {
 protected:
  void StartLine(const std::vector<std::string>& modems) {
    testing::EnsureApplication();
    InstallQtMessagePump();  // the components' messages run on this event loop, as in ql
    home = dir.path() / "home";
    fs::create_directories(home);
    SetDataFolder(home);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);  // where the desk writes QLPD.INI
    InstallSettingsPortResolver();
    line = std::make_unique<testing::FaxLine>(dir.path() / "vline", modems,
                                              std::vector<std::string>{std::string("200:") + kRemoteId});
    Settings() = TSettings{};
    for (auto& device : Settings().PortDevices) device = (dir.path() / "no-such-device").string();
    Settings().PortDevices[0] = line->Link("ttyFAX0").string();
    Settings().ComPort = 0;
    Settings().Name = "Ann Smith";
    Settings().Fax = "QUILLET DESK";
    Settings().MaximumBPS = 14400;
    Settings().TransmissionReport = true;
    SaveSettings();
    StartTableSession();
  }
  // A printed fax of `bodyPages` pages to number 200, as the printer driver leaves it,
  // with a ready cover sheet when `withCover`.
  void AddRow(int bodyPages, bool withCover = true) {
    EnsureWorkFolders();
    const fs::path body = testing::WriteLetter(dir.path(), "body", {bodyPages, 12, false, false});
    fs::copy_file(body, SendFolder() / "FAX00000.APF");
    xb::TTableEngine out;
    ASSERT_TRUE(OpenFaxDBF(out));
    ASSERT_EQ(AppendDriverFax(out, "FAX00000.APF", "Bob", "Report", "200"), 0);
    if (!withCover) return;
    const fs::path cover = testing::WriteLetter(dir.path(), "cover", {1, 6, false, false});
    fs::copy_file(cover, SendFolder() / "COV00000.APF");
    ASSERT_EQ(WriteCoverSheet(out, FaxInformation{"Bob", "Report", "200", "", ""}, "COV00000.APF"), 0);
  }
  OutgoingFax FirstRow(TMainScreen& desk) {
    OutgoingFax row;
    desk.OutTable().GoTop();
    ReadOutgoing(desk.OutTable(), row);
    return row;
  }

  // Presses Send, then Send Fax in the dialog, answers the result box and closes the
  // dialog. Returns the result box's text; `statuses` gets every status text the
  // progress window showed, `longestGap` the longest time the event loop was held up
  // once the modem was prepared (preparingGapMs: while it was).
  // `onStatus` sees each new status text as it comes.
  QString SendFromTheDesk(TMainScreen& desk, std::vector<std::string>& statuses, int64_t& longestGapMs,
                          const std::function<void(const std::string&)>& onStatus = {}) {
    testing::ModalAnswerer answers;
    QPointer<QWidget> form;
    QTimer sampler;
    auto last = std::chrono::steady_clock::now();
    bool sending = false;
    longestGapMs = 0;
    preparingGapMs = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
      const auto now = std::chrono::steady_clock::now();
      const int64_t gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
      // The preparation runs on this thread (the modem reset, the pause before each
      // command, letting messages run); it is measured apart from the call after it.
      const bool preparing = statuses.empty() || statuses.back() == "Initializing modem for fax processing";
      last = now;
      auto* display = form.isNull() ? nullptr : form->findChild<TStandardFaxDisplay*>();
      // The call is over when its progress window goes: what follows in the same pass of
      // the event loop (the transmission report, the result box) is not part of it.
      const bool callShown = display != nullptr && display->isVisible();
      if (!callShown && !statuses.empty()) sending = false;
      if (sending && (preparing || callShown))
        (preparing ? preparingGapMs : longestGapMs) = std::max<int64_t>(preparing ? preparingGapMs : longestGapMs, gap);
      if (!callShown) return;
      const std::string text = display->Value("Status:").toStdString();
      if (!text.empty() && (statuses.empty() || statuses.back() != text)) {
        statuses.push_back(text);
        if (onStatus) onStatus(text);
      }
    });
    sampler.start(10);
    QString box;
    answers.ThenOn("Send Fax: [To: Bob ,   Subject: Report]", [&](QWidget* w) {
      form = w;
      QTimer::singleShot(0, w, [&, w] {
        sending = true;
        last = std::chrono::steady_clock::now();
        testing::ClickButtonByText(w, "Send Fax");
      });
    });
    answers.ThenOn("Information", [&](QWidget* w) {
      sending = false;
      box = qobject_cast<QMessageBox*>(w)->text();
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
      QTimer::singleShot(200, form.data(), [&] { testing::ClickButtonByText(form.data(), "Close"); });
    });
    EXPECT_TRUE(desk.RunAttached(TCommand::cmSend));
    return box;
  }

  testing::TempDir dir;
  fs::path home;
  std::unique_ptr<testing::FaxLine> line;
  int64_t preparingGapMs = 0;
};

// The header line as the far side prints it on a page of `total`.
std::string ExpandedHeader(const std::string& header, int page, int total, const std::string& station) {
  std::string text = header;
  auto replace = [&](const std::string& token, const std::string& value) {
    const auto at = text.find(token);
    if (at != std::string::npos) text.replace(at, token.size(), value);
  };
  replace("$P", std::to_string(page));
  replace("$N", std::to_string(total));
  replace("$I", station);
  return text;
}

TEST_F(DeskCall, ARowWithCoverAndThreePagesIsSentAndRecorded) {
  StartLine({"ttyFAX0=100"});
  AddRow(3, false);
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  const auto flows = AttachDeskFlows(desk);
  desk.show();
  desk.FirstActivation();
  // The printed fax gets its cover sheet from the desk's Add Cover.
  {
    testing::ModalAnswerer answers;
    answers.ThenOn("Fax Cover Sheet Editor", [](QWidget* editor) {
      editor->findChild<QPlainTextEdit*>("message")->setPlainText("Three pages follow.");
      testing::ClickButtonByText(editor, "Save");
    });
    ASSERT_TRUE(desk.Action(TCommand::cmAddCover)->isEnabled());
    desk.Action(TCommand::cmAddCover)->trigger();
    ASSERT_EQ(answers.Seen().size(), 1u);
  }
  const OutgoingFax before = FirstRow(desk);
  ASSERT_EQ(before.faxCover, "COV00000.APF");
  fs::path expectedFile;
  ASSERT_EQ(PrepareSendFile(before, expectedFile), TPrepareResult::prReady);  // what the dialog will send
  const std::vector<testing::Raster> sent = testing::DecodeApf(expectedFile);
  fs::remove(expectedFile);
  ASSERT_EQ(sent.size(), 4u);

  const std::time_t started = std::time(nullptr);
  std::vector<std::string> statuses;
  int64_t longestGap = 0;
  const QString box = SendFromTheDesk(desk, statuses, longestGap);
  EXPECT_EQ(box, "Fax sent successfully") << line->CallLog();
  std::cout << "[ measure ] longest hold-up of the event loop: " << longestGap << " ms during the call, "
            << preparingGapMs << " ms while the modem was prepared\n";

  // The progress window went through dialling, the connection and the pages.
  std::set<std::string> seen(statuses.begin(), statuses.end());
  for (const char* status : {"Dialing", "Got called-station ID", "Sending page data", "Page accepted by remote"})
    EXPECT_EQ(seen.count(status), 1u) << status;

  const OutgoingFax row = FirstRow(desk);
  EXPECT_EQ(row.lastResult, "Sent");
  char today[16];
  const std::time_t now = std::time(nullptr);
  std::strftime(today, sizeof today, "%Y%m%d", std::localtime(&now));
  EXPECT_EQ(row.dateSent, today);
  EXPECT_EQ(row.timeSent.size(), 5u);

  // The far side kept the four pages, cover first, each under our header line.
  const auto records = line->Records("200");
  ASSERT_EQ(records.size(), 1u) << line->CallLog();
  EXPECT_EQ(records[0].at("remote_id"), "QUILLET DESK");
  const auto kept = testing::ReadTiffPages(records[0].at("tiff"));
  ASSERT_EQ(kept.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    std::string difference = "no header matched";
    for (std::time_t t : {started, started + 60}) {
      const std::string header = ExpandedHeader(BuildHeader("Ann Smith", "QUILLET DESK", t), i + 1, 4, "QUILLET DESK");
      // The cover sheet is drawn fine, and the body is recoded fine.
      difference = testing::Difference(kept[i], testing::ExpectedPage(sent[i], header, true, 1728));
      if (difference.empty()) break;
    }
    EXPECT_EQ(difference, "") << "page " << i + 1;
  }

  EXPECT_TRUE(fs::exists(home / "QLSEND.TRC"));
  const std::string history = testing::ReadFile(SendFolder() / "FAXLOG.HIS");
  EXPECT_NE(history.find(" to 200 started at "), std::string::npos) << history;
  EXPECT_NE(history.find("Transmit to ACME REMOTE finished OK at "), std::string::npos) << history;
  // The transmission report, and no temporary send file left.
  int reports = 0;
  for (const auto& e : fs::directory_iterator(SendFolder()))
    if (e.path().filename().string().rfind("FAX00000-TR-", 0) == 0) ++reports;
  EXPECT_EQ(reports, 1);
  for (const auto& e : fs::directory_iterator(home)) EXPECT_NE(e.path().extension(), ".APF") << e.path();

  // Deleting the fax takes its report along: the next printed fax, which gets the freed
  // name FAX00000 again, must not offer this one's proof of sending as its own.
  testing::ModalAnswerer answers;
  answers.ThenOn("Delete Fax", [](QWidget* w) { QMetaObject::invokeMethod(w, "accept"); });  // both
  desk.Action(TCommand::cmDelete)->trigger();
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(desk.OutModel()->rowCount(), 0);
  for (const auto& e : fs::directory_iterator(SendFolder()))
    EXPECT_NE(e.path().filename().string().rfind("FAX00000", 0), 0u) << e.path();
}

TEST_F(DeskCall, ABusyNumberWithOneAttemptIsNotSent) {
  StartLine({"ttyFAX0=100"});
  Settings().DialAttempts = 1;
  Settings().TransmissionReport = false;
  SaveSettings();
  AddRow(1);
  ASSERT_EQ(line->Control("fault 200 busy").rfind("OK", 0), 0u);
  TMainScreen desk;
  const auto flows = AttachDeskFlows(desk);
  desk.show();
  desk.FirstActivation();
  std::vector<std::string> statuses;
  int64_t gap = 0;
  const QString box = SendFromTheDesk(desk, statuses, gap);
  EXPECT_EQ(box, "Fax was not sent. Called fax number was busy");
  const OutgoingFax row = FirstRow(desk);
  EXPECT_EQ(row.lastResult, "Called fax number was busy");
  EXPECT_EQ(row.dateSent, "");
  EXPECT_EQ(row.timeSent, "");
  EXPECT_NE(testing::ReadFile(SendFolder() / "FAXLOG.HIS").find("Transmit failed at "), std::string::npos);
}

// The line dies in the middle of a page, then the modem itself goes away mid-call: each
// send ends with the result box and the row's result, and the desk stays usable.
TEST_F(DeskCall, ALineOrModemLostMidCallEndsTheSendWithAMessage) {
  StartLine({"ttyFAX0=100"});
  Settings().DialAttempts = 1;
  Settings().TransmissionReport = false;
  SaveSettings();
  AddRow(2);
  TMainScreen desk;
  const auto flows = AttachDeskFlows(desk);
  desk.show();
  desk.FirstActivation();

  ASSERT_EQ(line->Control("fault 200 carrier").rfind("OK", 0), 0u);
  std::vector<std::string> statuses;
  int64_t gap = 0;
  QString box = SendFromTheDesk(desk, statuses, gap);
  ASSERT_TRUE(box.startsWith("Fax was not sent. ")) << box.toStdString();
  EXPECT_EQ(FirstRow(desk).lastResult, box.mid(18).toStdString());
  EXPECT_EQ(FirstRow(desk).dateSent, "");

  bool pulled = false;
  statuses.clear();
  box = SendFromTheDesk(desk, statuses, gap, [&](const std::string& status) {
    if (status == "Sending page data" && !pulled) {
      pulled = true;
      line->Unplug();
    }
  });
  ASSERT_TRUE(pulled);
  ASSERT_TRUE(box.startsWith("Fax was not sent. ")) << box.toStdString();
  std::cout << "[ measure ] modem pulled: \"" << box.toStdString() << "\", longest hold-up " << gap << " ms\n";
  EXPECT_EQ(FirstRow(desk).lastResult, box.mid(18).toStdString());
  EXPECT_EQ(FirstRow(desk).dateSent, "");
  EXPECT_TRUE(desk.Action(TCommand::cmSend)->isEnabled());
  for (const auto& e : fs::directory_iterator(home)) EXPECT_NE(e.path().extension(), ".APF") << e.path();
}

TEST_F(DeskCall, FindModemAndCheckFaxClassOnTheLinesModems) {
  StartLine({"ttyFAX0=100", "ttyFAX1=101:1+2+2.0"});
  Settings().PortDevices[0] = (dir.path() / "no-such-device").string();  // COM1: a missing device
  Settings().PortDevices[1] = line->Link("ttyFAX0").string();
  Settings().PortDevices[3] = line->Link("ttyFAX1").string();
  TComPort port;
  TFindModemForm find(nullptr, port, {});
  find.show();
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        QApplication::processEvents();
        return find.Finished();
      },
      30000));
  EXPECT_EQ(find.FindResult(), 2);
  EXPECT_TRUE(find.PortLabel(2)->text().startsWith("Com 2: MODEM   [virtual fax modem]")) << find.PortLabel(2)->text().toStdString();
  EXPECT_TRUE(find.PortLabel(4)->text().startsWith("Com 4: MODEM"));
  EXPECT_TRUE(find.PortLabel(1)->text().startsWith("Com 1: Port does not exist"));

  TSendFax fax;
  fax.SetComPort(&port);
  TCheckFaxClassForm check(nullptr, port, fax, 4);
  check.show();
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        QApplication::processEvents();
        return check.Finished();
      },
      30000));
  EXPECT_EQ(check.Verdict().recommended, 2);
  EXPECT_EQ(check.Verdict().name, "Class 2.0");
  EXPECT_EQ(check.findChild<QLabel*>("class20")->text(), "Class 2.0 : Supported");
  EXPECT_TRUE(check.findChild<QLabel*>("class20")->font().bold());
  EXPECT_FALSE(port.Open());
}

// Runs the event loop until `done` holds or `seconds` pass.
bool RunUntil(const std::function<bool()>& done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST_F(DeskCall, ReceiveModeListsFaxesAndAFailedCallLeavesNoFile) {
  StartLine({"ttyFAX0=100"});
  TMainScreen desk;
  const auto flows = AttachDeskFlows(desk);
  desk.show();
  desk.FirstActivation();
  TReceiveMode& receive = flows->Receive();
  const fs::path apf = testing::WriteLetter(dir.path(), "incoming", {2, 10, true, false});
  const std::vector<testing::Raster> pages = testing::DecodeApf(apf);
  const fs::path tiff = dir.path() / "incoming.tif";
  testing::WriteTiffPages(tiff, pages, true);

  ASSERT_TRUE(desk.RunAttached(TCommand::cmReceive));
  ASSERT_TRUE(desk.ReceiveMode());
  EXPECT_EQ(desk.Button(TCommand::cmReceive)->text(), "STOP");
  EXPECT_EQ(desk.Action(TCommand::cmReceive)->text(), "Stop Receiving Faxes");
  EXPECT_FALSE(desk.Action(TCommand::cmSend)->isEnabled());
  auto waiting = [&] { return receive.Fax().FaxProgress() == 20; };
  ASSERT_TRUE(RunUntil(waiting, 30));

  auto rows = [&] { return desk.RecModel()->rowCount(); };
  ASSERT_EQ(line->Control("send 100 " + tiff.string() + " FAR SENDER").rfind("OK", 0), 0u);
  ASSERT_TRUE(RunUntil([&] { return rows() == 1; }, 180)) << line->CallLog();
  ReceivedFax row;
  desk.RecTable().Go(desk.RecModel()->RecNoAt(0));
  ReadReceived(desk.RecTable(), row);
  EXPECT_EQ(row.from, "FAR SENDER");
  EXPECT_EQ(row.pages, 2);
  ASSERT_EQ(row.timeRec.size(), 5u);
  EXPECT_EQ(row.timeRec[2], ':');
  EXPECT_EQ(row.faxFile, "FAX0001.APF");
  const auto kept = testing::DecodeReceivedApf((ReceiveFolder() / "FAX0001.APF").string(), {pages[0].size(), pages[1].size()});
  ASSERT_EQ(kept.size(), 2u);
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(testing::Difference(kept[i], pages[i]), "") << "page " << i + 1;

  // A call that dies in its first page is reported and leaves no file; the next is kept.
  testing::ModalAnswerer answers;
  QString failure;
  answers.ThenOn("Information", [&](QWidget* w) {
    failure = qobject_cast<QMessageBox*>(w)->text();
    qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
  });
  ASSERT_TRUE(RunUntil(waiting, 60));
  ASSERT_EQ(line->Control("fault 100 carrier").rfind("OK", 0), 0u);
  ASSERT_EQ(line->Control("send 100 " + tiff.string() + " FIRST").rfind("OK", 0), 0u);
  ASSERT_TRUE(RunUntil([&] { return !failure.isEmpty(); }, 180)) << line->CallLog();
  EXPECT_TRUE(failure.startsWith("Failed to receive incoming fax:\n\n")) << failure.toStdString();
  EXPECT_FALSE(fs::exists(ReceiveFolder() / "FAX0002.APF"));
  EXPECT_EQ(rows(), 1);
  ASSERT_TRUE(RunUntil(waiting, 60));
  ASSERT_EQ(line->Control("send 100 " + tiff.string() + " FAR SENDER").rfind("OK", 0), 0u);
  ASSERT_TRUE(RunUntil([&] { return rows() == 2; }, 180)) << line->CallLog();
  EXPECT_TRUE(fs::exists(ReceiveFolder() / "FAX0002.APF"));

  ASSERT_TRUE(desk.RunAttached(TCommand::cmReceive));
  EXPECT_FALSE(desk.ReceiveMode());
  EXPECT_EQ(desk.Button(TCommand::cmReceive)->text(), "Receive");
  EXPECT_EQ(desk.Action(TCommand::cmReceive)->text(), "Receive Faxes");
  EXPECT_FALSE(receive.Port().Open());
  EXPECT_TRUE(fs::exists(home / "QLRECV.TRC"));
}

}  // namespace
}  // namespace ql
