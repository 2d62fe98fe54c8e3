// qlfax receive: waits for calls on a fax modem with the receive component and keeps
// each fax as an APF file in the folder, printing each status as it changes and, for
// every call, the file, the far station's ID, the pages and the result. A call that
// fails leaves no file: the partial file the component names is removed. With --once
// the run ends after one call, and the exit status is 0 only when a fax was kept.

#include <csignal>
#include <clocale>
#include <filesystem>
#include <iostream>

#include "fax_document/apf/apf_file.h"
#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/fax_status.h"
#include "fax_engine/components/receive_fax.h"
#include "platform/data_folder.h"
#include "platform/message_windows/message_window.h"
#include "serial/comport/com_port.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"
#include "tools/qlfax/fax_options.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

constexpr int fpGetPage = 24;
constexpr int fpGotRemoteID = 41;

// The status text of the command line.
class StatusLine : public qlfax::PrintedStatus {
 protected:
  std::string Text() override {
    auto* fax = dynamic_cast<ql::TCustomReceiveFax*>(Fax());
    if (fax == nullptr) return {};
    const int progress = fax->FaxProgress();
    std::string text = ql::TCustomAbstractFax::StatusText(progress);
    if (progress == fpGetPage) text += " (page " + std::to_string(fax->CurrentPage()) + ")";
    if (progress == fpGotRemoteID && !fax->RemoteID().empty()) text += ": " + fax->RemoteID();
    return text;
  }
};

int PagesOf(const std::string& file) {
  ql::ApfFileHeader header;
  return ql::ReadApfFileHeader(file, header) < 0 ? 0 : header.PageCount;
}

int Run(std::vector<std::string>& args) {
  const qlfax::Command& self = *qlfax::FindCommand("receive");
  std::string com = "1", device, faxClass = "auto", rings = "1", bps = "14400", station, log, history, trace;
  std::string folder = (ql::DataFolder() / "Receive").string();
  qlfax::TakeOption(args, "--com", com);
  qlfax::TakeOption(args, "--device", device);
  qlfax::TakeOption(args, "--class", faxClass);
  qlfax::TakeOption(args, "--rings", rings);
  qlfax::TakeOption(args, "--bps", bps);
  qlfax::TakeOption(args, "--dir", folder);
  qlfax::TakeOption(args, "--station", station);
  qlfax::TakeOption(args, "--log", log);
  qlfax::TakeOption(args, "--trace", trace);
  const bool historyGiven = qlfax::TakeOption(args, "--history", history);
  const bool once = qlfax::TakeFlag(args, "--once");
  if (!args.empty()) return 2;

  int comNumber = 0, answerOn = 0, rate = 0;
  try {
    comNumber = std::stoi(com);
    answerOn = std::stoi(rings);
    rate = std::stoi(bps);
  } catch (const std::exception&) {
    return qlfax::Fail(self, "--com, --rings and --bps take numbers", 2);
  }
  ql::TFaxClass chosenClass = ql::fcDetect;
  if (!qlfax::ParseFaxClass(faxClass, chosenClass)) return qlfax::Fail(self, "--class is auto, 1, 2 or 2.0", 2);
  if (comNumber < 1 || comNumber > ql::kPortCount) return qlfax::Fail(self, "--com must be 1 to 6", 2);
  if (answerOn < 1 || answerOn > 20 || rate < 2400 || rate > 14400)
    return qlfax::Fail(self, "--rings is 1 to 20, --bps 2400 to 14400", 2);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) return qlfax::Fail(self, "cannot use the folder " + folder);

  std::setlocale(LC_TIME, "");
  ql::InstallHeadlessMessagePump();
  ql::TComPort port;
  qlfax::SetUpFaxPort(port, comNumber, device, trace);
  ql::TReceiveFax fax;
  fax.SetComPort(&port);
  port.SetOpen(true);

  fax.SetFaxClass(chosenClass);
  fax.SetDesiredBPS(static_cast<uint16_t>(rate));
  fax.SetStationID(station);
  fax.SetAnswerOnRing(static_cast<uint16_t>(answerOn));
  fax.SetDestinationDir(folder);
  fax.SetConstantStatus(true);
  fax.SetSessionLogName(log);
  // One call: the run ends after a fax, and after a call that failed.
  fax.SetOneFax(once);
  fax.SetExitOnError(once);

  StatusLine status;
  fax.SetStatusDisplay(&status);
  ql::TFaxLog historyLog;
  historyLog.SetFaxHistoryName(historyGiven ? history : (ql::DataFolder() / "FAXLOG.HIS").string());
  fax.SetFaxLog(&historyLog);

  bool finished = false;
  int result = 0, kept = 0;
  fax.OnFaxError = [](ql::TCustomAbstractFax&, int code) {
    std::cout << "Error " << code << ": " << ql::ErrorText(code) << std::endl;
  };
  fax.OnFaxLog = [&](ql::TCustomAbstractFax& cp, ql::TFaxLogCode code) {
    auto& f = static_cast<ql::TReceiveFax&>(cp);
    const std::string from = f.RemoteID().empty() ? std::string("an unknown station") : f.RemoteID();
    switch (code) {
      case ql::lfaxReceiveOk:
        ++kept;
        std::cout << "Received " << f.FaxFile() << " from " << from << ", " << PagesOf(f.FaxFile()) << " pages at "
                  << f.SessionBPS() << " bit/s: OK" << std::endl;
        break;
      case ql::lfaxReceiveFail: {
        // Nothing of a failed call is kept.
        std::error_code removeError;
        if (!f.FaxFile().empty()) std::filesystem::remove(f.FaxFile(), removeError);
        std::cout << "Not received from " << from << ": " << ql::ErrorText(f.LastError()) << " (" << f.LastError()
                  << ")" << std::endl;
        break;
      }
      case ql::lfaxReceiveSkip: std::cout << "Call from " << from << " refused" << std::endl; break;
      default: break;
    }
  };
  fax.OnFaxFinish = [&](ql::TCustomAbstractFax&, int code) {
    finished = true;
    result = code;
  };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  try {
    fax.StartReceive();
  } catch (const std::exception& e) {
    return qlfax::Fail(self, e.what());
  }
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
  if (result < 0 && kept == 0) std::cout << "Stopped: " << ql::ErrorText(result) << " (" << result << ")" << std::endl;
  if (once) return kept > 0 ? 0 : 1;
  return cancelled || result >= 0 ? 0 : 1;
}

QLFAX_COMMAND("receive",
              "[--com N | --device PATH] [--class auto|1|2|2.0] [--rings N] [--bps N] [--dir FOLDER] [--once] "
              "[--station ID] [--log FILE] [--history FILE] [--trace FILE]",
              "wait for calls on the modem on COMn and keep each fax in the folder; --once ends after one call",
              Run);

}  // namespace
