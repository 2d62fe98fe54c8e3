#include "fax_engine/components/send_fax.h"

#include "fax_engine/send/send_machine.h"
#include "fax_engine/session/session_records.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"

namespace ql {

TCustomSendFax::TCustomSendFax() : TAbstractFax(TFaxComponentKind::fkSend, std::make_unique<SendSession>()) {}

TCustomSendFax::~TCustomSendFax() = default;

SendSession& TCustomSendFax::Send() const { return static_cast<SendSession&>(Session()); }

bool TCustomSendFax::BlindDial() const { return Send().modem.BlindDial; }
void TCustomSendFax::SetBlindDial(bool on) { ql::SetBlindDial(Send(), on); }
bool TCustomSendFax::DetectBusy() const { return Send().modem.DetectBusy; }
void TCustomSendFax::SetDetectBusy(bool on) { ql::SetDetectBusy(Send(), on); }
bool TCustomSendFax::ToneDial() const { return Send().modem.ToneDial; }
void TCustomSendFax::SetToneDial(bool on) { Send().modem.ToneDial = on; }
std::string TCustomSendFax::DialPrefix() const { return Send().modem.DialPrefix; }
void TCustomSendFax::SetDialPrefix(const std::string& prefix) { Send().modem.DialPrefix = prefix.substr(0, kModemStringMax); }
uint16_t TCustomSendFax::DialWait() const { return static_cast<uint16_t>(TicksToSeconds(Send().modem.DialWait)); }
void TCustomSendFax::SetDialWait(uint16_t seconds) { Send().modem.DialWait = SecondsToTicks(seconds); }
uint16_t TCustomSendFax::DialAttempts() const { return Send().common.DialAttempts; }
void TCustomSendFax::SetDialAttempts(uint16_t attempts) { Send().common.DialAttempts = attempts; }
uint16_t TCustomSendFax::DialRetryWait() const {
  return static_cast<uint16_t>(TicksToSeconds(Send().common.DialRetryWait));
}
void TCustomSendFax::SetDialRetryWait(uint16_t seconds) {
  Send().common.DialRetryWait = static_cast<uint16_t>(SecondsToTicks(seconds));
}
uint16_t TCustomSendFax::MaxSendCount() const { return Send().MaxSendCount; }
void TCustomSendFax::SetMaxSendCount(uint16_t blocks) { Send().MaxSendCount = blocks; }
uint16_t TCustomSendFax::BufferMinimum() const { return Send().BufferMinimum; }
void TCustomSendFax::SetBufferMinimum(uint16_t bytes) { Send().BufferMinimum = bytes; }
std::string TCustomSendFax::HeaderLine() const { return Send().HeaderLine; }
void TCustomSendFax::SetHeaderLine(const std::string& text) { Send().HeaderLine = text.substr(0, kPathMax); }
std::string TCustomSendFax::HeaderSender() const { return Send().common.HeaderSender; }
void TCustomSendFax::SetHeaderSender(const std::string& text) { Send().common.HeaderSender = text.substr(0, kPathMax); }
std::string TCustomSendFax::HeaderRecipient() const { return Send().common.HeaderRecipient; }
void TCustomSendFax::SetHeaderRecipient(const std::string& text) {
  Send().common.HeaderRecipient = text.substr(0, kPathMax);
}
std::string TCustomSendFax::HeaderTitle() const { return Send().common.HeaderTitle; }
void TCustomSendFax::SetHeaderTitle(const std::string& text) { Send().common.HeaderTitle = text.substr(0, kPathMax); }

uint16_t TCustomSendFax::DialAttempt() const { return static_cast<uint16_t>(Send().common.dialAttempt + 1); }
int TCustomSendFax::TotalPages() const { return Send().common.totalPages; }
int TCustomSendFax::CurrentPage() const { return Send().common.SendingCover ? 0 : Send().common.currentPage.load(); }
int TCustomSendFax::PageLength() const { return Send().common.pageLength; }

int TCustomSendFax::BytesTransferred() const {
  const FaxCommon& c = Send().common;
  int waiting = 0;
  if (c.Prepared && c.portHandle != 0) waiting = std::max(0, OutUsed(c.portHandle));
  // A single byte left in the buffer is not counted against the page.
  if (waiting == 1) waiting = 0;
  return std::max(0, c.bytesTransferred - waiting);
}

void TCustomSendFax::StartTransmit() {
  CheckPortAndTakeHandle();
  singleFaxGiven_ = false;
  Start(PrepareSend, SendMachine);
}

bool TCustomSendFax::FaxNext(std::string& phoneNumber, std::string& faxFile, std::string& coverFile) {
  if (OnFaxNext) {
    std::string phone, file, cover;
    OnFaxNext(*this, phone, file, cover);
    SetPhoneNumber(phone);
    SetFaxFile(file);
    SetCoverFile(cover);
  } else if (singleFaxGiven_) {
    phoneNumber.clear();
    faxFile.clear();
    coverFile.clear();
    return false;
  } else {
    singleFaxGiven_ = true;
  }
  phoneNumber = PhoneNumber();
  faxFile = FaxFile();
  coverFile = CoverFile();
  return !phoneNumber.empty();
}

}  // namespace ql
