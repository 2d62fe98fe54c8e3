#include "app/desk_flows/desk_flows.h"

#include "app/document_drop/document_drop.h"
#include "app/main_window/main_screen.h"
#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/reset_modem.h"
#include "app/pickup/driver_files.h"
#include "app/pickup/pickup.h"
#include "app/receive_mode/receive_mode.h"
#include "app/reports/transmission_report.h"
#include "app/send_flow/send_command.h"
#include "app/settings/work_folders.h"
#include "serial/comport/com_port.h"

namespace ql {
namespace {

class Flows : public TDeskFlows {
 public:
  explicit Flows(TMainScreen& desk) : receive_(desk) {
    // The modem-reset dialog's own port, traced to COMM.TRC and COMM.LOG.
    ConfigureModemPort(resetPort_, "COMM.TRC", "COMM.LOG", 32000);
    desk.AttachCommand(TCommand::cmSend, [&desk] { SendCurrentFax(desk); });
    desk.AttachCommand(TCommand::cmTransmissionReport, [&desk] { OpenLastReport(desk); });
    desk.AttachCommand(TCommand::cmModemReset, [this, &desk] { TResetModemForm::Run(&desk, resetPort_); });
    desk.AttachCommand(TCommand::cmReceive, [this] { receive_.Toggle(); });
    desk.SetFaxFilesRemovedHook([](const std::string& faxDoc, const std::string& faxCover) {
      RemoveTransmissionReports(ReportStem(faxDoc, faxCover), SendFolder());
    });
    // Faxes printed to the driver come in at every activation; the driver learns at every
    // start where to drop them.
    desk.SetPickupHook([&desk] {
      return ProcessExtraPDFaxFiles(desk.OutTable(), SendFolder(), [&desk] { desk.FaxTableCloseAndOpen(); });
    });
    desk.SetDriverIniHook([] { WriteDriverIni(); });
    AcceptDocumentDrops(desk);
  }
  TReceiveMode& Receive() override { return receive_; }

 private:
  TComPort resetPort_;
  TReceiveMode receive_;
};

}  // namespace

std::unique_ptr<TDeskFlows> AttachDeskFlows(TMainScreen& desk) { return std::make_unique<Flows>(desk); }

}  // namespace ql
