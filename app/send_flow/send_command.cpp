#include "app/send_flow/send_command.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStatusBar>
#include <QUrl>
#include <system_error>

#include "app/fax_store/fax_store.h"
#include "app/main_window/fax_list.h"
#include "app/main_window/main_screen.h"
#include "app/reports/transmission_report.h"
#include "app/send_flow/send_fax_form.h"
#include "app/send_flow/send_file.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/message_pump.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The main window's status bar while the send is prepared; it goes back as it was.
class PreparingStatus {
 public:
  explicit PreparingStatus(TMainScreen& desk) : bar_(desk.statusBar()), wasVisible_(bar_->isVisible()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~PreparingStatus() {
    if (cursor_) QApplication::restoreOverrideCursor();
    bar_->clearMessage();
    bar_->setVisible(wasVisible_);
  }
  void Show(const QString& text) {
    bar_->show();
    bar_->showMessage(text);
    ProcessPendingMessages();
  }
  void NormalCursor() {
    if (cursor_) QApplication::restoreOverrideCursor();
    cursor_ = false;
  }

 private:
  QStatusBar* bar_;
  bool wasVisible_;
  bool cursor_ = true;
};

}  // namespace

void SendCurrentFax(TMainScreen& desk) {
  TFaxList& list = desk.List(TListTab::ltOutgoing);
  if (!list.HasRows()) {
    Beep();
    return;
  }
  uint32_t recno = 0;
  if (!list.GoToCurrent(recno)) return;
  OutgoingFax row;
  ReadOutgoing(list.Table(), row);
  std::filesystem::path sendFile;
  {
    PreparingStatus status(desk);
    status.Show(QStringLiteral("Preparing fax files..."));
    const TPrepareResult prepared = PrepareSendFile(row, sendFile);
    if (prepared != TPrepareResult::prReady) {
      status.NormalCursor();
      ShowInfo(prepared == TPrepareResult::prBodyUnreadable ? QStringLiteral("Error opening fax file")
                                                            : QStringLiteral("Error - No fax file to send"));
      return;
    }
    status.Show(QStringLiteral("Preparing Send Fax form..."));
  }
  std::string result;
  {
    TSendFaxForm form(&desk, sendFile.string(), row.phone);
    form.setWindowTitle(Q("Send Fax: [" + FaxDescription(row.recipient, row.subject) + "]"));
    const std::string stem = ReportStem(row.faxDoc, row.faxCover);
    form.OnSendFinished = [stem](const TSendOutcome& outcome) {
      if (Settings().TransmissionReport) WriteTransmissionReport(outcome, stem, SendFolder());
    };
    CenterOverMain(&form);
    form.exec();
    result = form.Result();
    form.TakeFields(Settings());
  }
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowError(Q(e.what()));
  }
  ReturnToRow(list.Table(), recno);
  RecordSendResult(list.Table(), result);
  list.Refresh(recno);
  desk.SetButtons();
  std::error_code ec;
  std::filesystem::remove(sendFile, ec);
}

void OpenLastReport(TMainScreen& desk) {
  TFaxList& list = desk.List(TListTab::ltOutgoing);
  uint32_t recno = 0;
  if (!list.GoToCurrent(recno)) return;
  OutgoingFax row;
  ReadOutgoing(list.Table(), row);
  const std::filesystem::path report = LastTransmissionReport(ReportStem(row.faxDoc, row.faxCover), SendFolder());
  if (report.empty()) {
    ShowInfo(QStringLiteral("There is no transmission report for this fax yet. Turn on \"Print a transmission "
                            "report\" in Preferences to get one after each send."));
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(report.string())));
}

}  // namespace ql
