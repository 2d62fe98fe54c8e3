#include "fax_engine/components/receive_fax.h"

#include "fax_engine/receive/receive_machine.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/session/received_names.h"

namespace ql {

TCustomReceiveFax::TCustomReceiveFax()
    : TAbstractFax(TFaxComponentKind::fkReceive, std::make_unique<ReceiveSession>()) {}

TCustomReceiveFax::~TCustomReceiveFax() = default;

ReceiveSession& TCustomReceiveFax::Receive() const { return static_cast<ReceiveSession&>(Session()); }

uint16_t TCustomReceiveFax::AnswerOnRing() const { return static_cast<uint16_t>(Receive().modem.AnswerOnRing); }
void TCustomReceiveFax::SetAnswerOnRing(uint16_t rings) { Receive().modem.AnswerOnRing = rings; }
bool TCustomReceiveFax::FaxAndData() const { return Receive().modem.FaxAndData == '1'; }
void TCustomReceiveFax::SetFaxAndData(bool on) { Receive().modem.FaxAndData = on ? '1' : '0'; }
bool TCustomReceiveFax::OneFax() const { return Receive().OneFax; }
void TCustomReceiveFax::SetOneFax(bool on) { Receive().OneFax = on; }
bool TCustomReceiveFax::ConstantStatus() const { return Receive().ConstantStatus; }
void TCustomReceiveFax::SetConstantStatus(bool on) { Receive().ConstantStatus = on; }
std::string TCustomReceiveFax::DestinationDir() const { return Receive().common.DestinationDir; }
void TCustomReceiveFax::SetDestinationDir(const std::string& folder) {
  Receive().common.DestinationDir = folder.substr(0, kPathMax);
}

int TCustomReceiveFax::CurrentPage() const { return Receive().common.currentPage; }
int TCustomReceiveFax::BytesTransferred() const { return Receive().common.bytesTransferred; }

void TCustomReceiveFax::StartReceive() {
  CheckPortAndTakeHandle();
  Start(PrepareReceive, ReceiveMachine);
}

bool TCustomReceiveFax::FaxAccept() {
  bool accept = true;
  if (OnFaxAccept) OnFaxAccept(*this, accept);
  return accept;
}

void TCustomReceiveFax::FaxName(std::string& name) {
  if (OnFaxName) {
    name.clear();
    OnFaxName(*this, name);
    return;
  }
  const FaxCommon& c = Receive().common;
  name = ReceivedFileName(FileNaming, c.DestinationDir, c.FaxFileExt);
}

}  // namespace ql
