// qlfax send: sends an APF fax (optionally with a cover) through a fax modem with the
// send component, printing each status as it changes and the result at the end. The
// exit status is 0 only when the fax was sent.

#include <csignal>
#include <clocale>
#include <iostream>

#include "app/settings/settings.h"
#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/fax_status.h"
#include "fax_engine/components/send_fax.h"
#include "platform/data_folder.h"
#include "platform/message_windows/message_window.h"
#include "serial/comport/com_port.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"
#include "tools/qlfax/fax_options.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

// The status text of the command line.
class StatusLine : public qlfax::PrintedStatus {
 protected:
  std::string Text() override {
    auto* fax = dynamic_cast<ql::TCustomSendFax*>(Fax());
    if (fax == nullptr) return {};
    const int progress = fax->FaxProgress();
    std::string text = progress == 43 ? "Fax sent" : ql::TCustomAbstractFax::StatusText(progress);
    if (progress == 4) {
      text += fax->CurrentPage() == 0 ? " (cover)"
                                      : " (page " + std::to_string(fax->CurrentPage()) + " of " +
                                            std::to_string(fax->TotalPages()) + ")";
    }
    if (progress == 3) text += " (dial attempt " + std::to_string(fax->DialAttempt()) + ")";
    if (progress == 41 && !fax->RemoteID().empty()) text += ": " + fax->RemoteID();
    return text;
  }
};

int Run(std::vector<std::string>& args) {
  const qlfax::Command& self = *qlfax::FindCommand("send");
  std::string cover, com = "1", device, faxClass = "auto", bps = "9600", station, header, attempts = "3",
                     retryWait = "60", log, history, trace;
  qlfax::TakeOption(args, "--cover", cover);
  qlfax::TakeOption(args, "--com", com);
  qlfax::TakeOption(args, "--device", device);
  qlfax::TakeOption(args, "--class", faxClass);
  qlfax::TakeOption(args, "--bps", bps);
  qlfax::TakeOption(args, "--station", station);
  qlfax::TakeOption(args, "--header", header);
  qlfax::TakeOption(args, "--attempts", attempts);
  qlfax::TakeOption(args, "--retry-wait", retryWait);
  qlfax::TakeOption(args, "--log", log);
  qlfax::TakeOption(args, "--trace", trace);
  const bool historyGiven = qlfax::TakeOption(args, "--history", history);
  if (args.size() != 2) return 2;
  const std::string number = args[0], file = args[1];

  int comNumber = 0, rate = 0, dialAttempts = 0, retrySeconds = 0;
  try {
    comNumber = std::stoi(com);
    rate = std::stoi(bps);
    dialAttempts = std::stoi(attempts);
    retrySeconds = std::stoi(retryWait);
  } catch (const std::exception&) {
    return qlfax::Fail(self, "--com, --bps, --attempts and --retry-wait take numbers", 2);
  }
  ql::TFaxClass chosenClass = ql::fcDetect;
  if (!qlfax::ParseFaxClass(faxClass, chosenClass)) return qlfax::Fail(self, "--class is auto, 1, 2 or 2.0", 2);
  if (comNumber < 1 || comNumber > ql::kPortCount) return qlfax::Fail(self, "--com must be 1 to 6", 2);
  if (rate < 2400 || rate > 14400 || dialAttempts < 0 || dialAttempts > 65535 || retrySeconds < 0 ||
      retrySeconds > 3600)
    return qlfax::Fail(self, "--bps is 2400 to 14400, --attempts 0 to 65535, --retry-wait 0 to 3600", 2);

  std::setlocale(LC_TIME, "");
  ql::InstallHeadlessMessagePump();

  ql::TComPort port;
  qlfax::SetUpFaxPort(port, comNumber, device, trace);
  ql::TSendFax fax;
  fax.SetComPort(&port);
  port.SetOpen(true);

  fax.SetFaxClass(chosenClass);
  fax.SetDesiredBPS(static_cast<uint16_t>(rate));
  fax.SetStationID(station);
  fax.SetHeaderLine(header);
  fax.SetDialAttempts(static_cast<uint16_t>(dialAttempts));
  fax.SetDialRetryWait(static_cast<uint16_t>(retrySeconds));
  fax.SetPhoneNumber(number);
  fax.SetFaxFile(file);
  fax.SetCoverFile(cover);
  fax.SetSessionLogName(log);

  StatusLine status;
  fax.SetStatusDisplay(&status);
  ql::TFaxLog history_log;
  history_log.SetFaxHistoryName(historyGiven ? history : (ql::DataFolder() / "FAXLOG.HIS").string());
  fax.SetFaxLog(&history_log);

  bool finished = false, sent = false;
  int result = 0;
  fax.OnFaxError = [](ql::TCustomAbstractFax&, int code) {
    std::cout << "Error " << code << ": " << ql::ErrorText(code) << std::endl;
  };
  fax.OnFaxLog = [&](ql::TCustomAbstractFax&, ql::TFaxLogCode code) { sent = sent || code == ql::lfaxTransmitOk; };
  fax.OnFaxFinish = [&](ql::TCustomAbstractFax&, int code) {
    finished = true;
    result = code;
  };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  fax.StartTransmit();
  bool cancelled = false;
  while (!finished) {
    if (g_interrupted && !cancelled) {
      cancelled = true;
      fax.CancelFax();
    }
    ql::WaitForMessages(100);
    ql::DispatchPendingMessages();
  }
  port.SetOpen(false);

  if (sent && result >= 0) {
    std::cout << "Sent " << file << " to " << number
              << (fax.RemoteID().empty() ? std::string() : " (" + fax.RemoteID() + ")") << " at "
              << fax.SessionBPS() << " bit/s" << std::endl;
    return 0;
  }
  std::cout << "Not sent: " << ql::ErrorText(result) << " (" << result << ")" << std::endl;
  return 1;
}

QLFAX_COMMAND("send",
              "NUMBER FILE.APF [--cover FILE] [--com N | --device PATH] [--class auto|1|2|2.0] [--bps N] "
              "[--station ID] [--header TEXT] [--attempts N] [--retry-wait S] [--log FILE] [--history FILE] [--trace FILE]",
              "send a fax through the modem on COMn, printing its progress; --log writes a session log",
              Run);

}  // namespace
