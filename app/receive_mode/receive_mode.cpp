#include "app/receive_mode/receive_mode.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <system_error>

#include "app/fax_store/fax_store.h"
#include "app/main_window/fax_list.h"
#include "app/main_window/main_screen.h"
#include "app/modem_tools/modem_port.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "platform/message_pump.h"
#include "platform/sound/sound.h"
#include "platform/text.h"
#include "serial/errors/error_text.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Hourglass while a step runs.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

std::string TReceiveMode::StatusBarText(const std::string& statusText, const std::string& remoteId, int page) {
  std::string text = statusText;
  if (!remoteId.empty()) text += " [ from " + remoteId + " page " + std::to_string(page) + "]";
  if (ToUpperAscii(text).find("ABORT") != std::string::npos) text.clear();
  return text;
}

TReceiveMode::TReceiveMode(TMainScreen& desk) : desk_(desk) {
  ConfigureModemPort(port_, "QLRECV.TRC", "QLRECV.LOG");
  fax_.SetComPort(&port_);
  fax_.SetDestinationDir(ReceiveFolder().string());
  fax_.SetFaxFileExt("APF");
  fax_.FileNaming = 1;
  fax_.SetConstantStatus(true);

  fax_.OnFaxAccept = [this](TCustomAbstractFax&, bool& accept) {
    desk_.SetFaxInProgress(true);
    lastError_ = 0;
    accept = true;
  };
  fax_.OnFaxError = [this](TCustomAbstractFax&, int code) { lastError_ = code; };
  fax_.OnFaxStatus = [this](TCustomAbstractFax&, bool first, bool last) {
    UpdateValues();
    if (first) pages_ = 0;
    if (last) desk_.SetFaxInProgress(false);
  };
  fax_.OnFaxLog = [this](TCustomAbstractFax&, TFaxLogCode code) {
    if (code == lfaxReceiveOk) Record();
    if (code == lfaxReceiveFail) Failed();
  };
  // The run ended by itself (a modem that went away): receive mode ends with it.
  fax_.OnFaxFinish = [this](TCustomAbstractFax&, int code) {
    if (!desk_.ReceiveMode()) return;
    Stop();
    if (code < 0 && code != -6005)
      ShowInfo(QStringLiteral("Receive mode ended: ") + Q(ErrorText(code)));
  };
}

TReceiveMode::~TReceiveMode() {
  if (desk_.ReceiveMode()) {
    try {
      fax_.CancelFax();
      port_.SetOpen(false);
    } catch (...) {
    }
  }
}

void TReceiveMode::Toggle() {
  if (desk_.ReceiveMode()) Stop();
  else Start();
}

void TReceiveMode::ShowStatus(const QString& text) {
  desk_.statusBar()->show();
  desk_.statusBar()->showMessage(text);
  ProcessPendingMessages();
}

void TReceiveMode::SetCaptions(bool receiving) {
  QAction* action = desk_.Action(TCommand::cmReceive);
  QPushButton* button = desk_.Button(TCommand::cmReceive);
  const QString hint = receiving ? QStringLiteral("Stop receiving faxes") : QStringLiteral("Start receiving faxes");
  if (button != nullptr) {
    button->setText(receiving ? QStringLiteral("STOP") : QStringLiteral("Receive"));
    button->setToolTip(Settings().HintsOn ? hint : QString());
  }
  if (action != nullptr) {
    action->setText(receiving ? QStringLiteral("Stop Receiving Faxes") : QStringLiteral("Receive Faxes"));
    action->setToolTip(Settings().HintsOn ? hint : QString());
  }
}

void TReceiveMode::Start() {
  std::string error;
  {
    WaitCursor wait;
    lastError_ = 0;
    port_.SetTracing(tlOn);
    port_.SetLogging(tlOn);
    desk_.SetReceiveMode(true);
    bool started = false;
    try {
      ShowStatus(QStringLiteral("Starting receive mode..."));
      const TSettings& s = Settings();
      port_.SetComNumber(s.ComPort + 1);
      fax_.SetFaxClass(static_cast<TFaxClass>(s.FaxClass + 1));
      fax_.SetStationID(s.Fax);
      fax_.SetAnswerOnRing(static_cast<uint16_t>(s.AnswerOnRing));
      fax_.SetDesiredBPS(static_cast<uint16_t>(s.MaximumBPS));
      if (!s.InitString.empty()) fax_.SetModemInit(WithAtPrefix(s.InitString));
      if (OpenModemPort(port_, error)) {
        if (!s.ResetString.empty()) {
          ShowStatus(QStringLiteral("Sending reset string..."));
          SendResetString(port_, s.ResetString);
        }
        fax_.StartReceive();
        started = true;
      }
    } catch (const std::exception& e) {
      error = e.what();
    }
    if (started) {
      SetCaptions(true);
      ShowStatus(QStringLiteral("Waiting for fax..."));
    } else {
      try {
        port_.SetOpen(false);
      } catch (...) {
      }
      desk_.SetReceiveMode(false);
      SetCaptions(false);
      desk_.statusBar()->hide();
    }
    desk_.SetButtons();
    if (started || error.empty()) return;
  }
  ShowInfo(Q(error));
}

void TReceiveMode::Stop() {
  WaitCursor wait;
  const bool callUnderWay = desk_.FaxInProgress();
  ShowStatus(callUnderWay ? QStringLiteral("Shutting down fax...") : QStringLiteral("Ending fax receive mode..."));
  try {
    fax_.CancelFax();
    if (!Settings().ResetAfterString.empty()) {
      ShowStatus(QStringLiteral("Sending AFTER reset string..."));
      SendResetString(port_, Settings().ResetAfterString);
    }
    port_.SetOpen(false);  // closing writes QLRECV.TRC and QLRECV.LOG
  } catch (...) {
    // Errors while stopping are not reported: receive mode ends in any case.
  }
  if (callUnderWay) {
    // The far machine and the modem get a second to hang up before the program goes on.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 18 * 55) {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
      ProcessPendingMessages();
    }
    desk_.SetFaxInProgress(false);
  }
  desk_.SetReceiveMode(false);
  SetCaptions(false);
  desk_.statusBar()->hide();
  port_.SetTracing(tlDump);
  port_.SetLogging(tlDump);
  desk_.SetButtons();
}

void TReceiveMode::UpdateValues() {
  pages_ = fax_.CurrentPage();
  const std::string text =
      StatusBarText(TCustomAbstractFax::StatusText(fax_.FaxProgress()), fax_.RemoteID(), fax_.CurrentPage());
  desk_.statusBar()->showMessage(Q(text));
}

void TReceiveMode::Record() {
  desk_.SetFaxInProgress(false);
  TFaxList& list = desk_.List(TListTab::ltReceived);
  const std::string file = fs::path(fax_.FaxFile()).filename().string();
  if (AppendReceivedFax(list.Table(), fax_.RemoteID(), pages_, file) == 0) {
    const uint32_t added = list.Table().RecNo();
    list.Reopen(desk_.ArchiveFilter());
    ReturnToRow(list.Table(), added);
    list.Refresh(added);
  }
  // Played once the event has returned, as a message to the window would be.
  QTimer::singleShot(0, &desk_, [] {
    const std::string& wav = Settings().Wav;
    std::error_code ec;
    if (!wav.empty() && fs::is_regular_file(wav, ec)) PlaySoundAsync(wav);
  });
  desk_.SetButtons();
}

void TReceiveMode::Failed() {
  desk_.SetFaxInProgress(false);
  const std::string text = lastError_ == 0 ? std::string("Unknown error") : ErrorText(lastError_);
  lastError_ = 0;
  std::error_code ec;
  const std::string partial = fax_.FaxFile();
  if (!partial.empty() && fs::is_regular_file(partial, ec)) fs::remove(partial, ec);
  // Shown after the event returns, so the engine is not kept waiting while the box is open.
  QTimer::singleShot(0, &desk_, [text] { ShowInfo(Q("Failed to receive incoming fax:\r\r" + text)); });
}

}  // namespace ql
