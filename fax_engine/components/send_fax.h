#pragma once
// TSendFax: the send component. It sends the fax named by FaxFile (with CoverFile in
// front) to PhoneNumber once per start, or, with OnFaxNext assigned, one fax after
// another as long as the handler names a next one.

#include <string>

#include "fax_engine/components/abstract_fax.h"

namespace ql {

struct SendSession;

using TFaxNextEvent =
    std::function<void(TCustomAbstractFax& CP, std::string& APhoneNumber, std::string& AFaxFile, std::string& ACoverFile)>;

class TCustomSendFax : public TAbstractFax {
 public:
  TCustomSendFax();
  ~TCustomSendFax() override;

  bool BlindDial() const;
  void SetBlindDial(bool on);
  bool DetectBusy() const;
  void SetDetectBusy(bool on);
  bool ToneDial() const;
  void SetToneDial(bool on);
  std::string DialPrefix() const;
  void SetDialPrefix(const std::string& prefix);
  // Seconds, held as ticks: a value read back can differ a little from the one written.
  uint16_t DialWait() const;
  void SetDialWait(uint16_t seconds);
  uint16_t DialAttempts() const;
  void SetDialAttempts(uint16_t attempts);  // 0: redial until cancelled
  uint16_t DialRetryWait() const;
  void SetDialRetryWait(uint16_t seconds);
  uint16_t MaxSendCount() const;
  void SetMaxSendCount(uint16_t blocks);
  uint16_t BufferMinimum() const;
  void SetBufferMinimum(uint16_t bytes);
  std::string HeaderLine() const;
  void SetHeaderLine(const std::string& text);
  std::string HeaderSender() const;
  void SetHeaderSender(const std::string& text);
  std::string HeaderRecipient() const;
  void SetHeaderRecipient(const std::string& text);
  std::string HeaderTitle() const;
  void SetHeaderTitle(const std::string& text);
  std::string CoverFile() const { return coverFile_; }
  void SetCoverFile(const std::string& name) { coverFile_ = name.substr(0, kPathMax); }
  std::string PhoneNumber() const { return phoneNumber_; }
  void SetPhoneNumber(const std::string& number) { phoneNumber_ = number.substr(0, kPhoneNumberMax); }

  // Read-only while a fax is sent.
  uint16_t DialAttempt() const;  // dials so far on this fax, plus one
  int TotalPages() const;
  int CurrentPage() const;   // 0 while the cover is sent
  int BytesTransferred() const;
  int PageLength() const;

  // Starts sending (after the port checks); the finish event ends the run.
  void StartTransmit();

  TFaxNextEvent OnFaxNext;

 protected:
  bool FaxNext(std::string& phoneNumber, std::string& faxFile, std::string& coverFile) override;

 private:
  SendSession& Send() const;

  std::string coverFile_;
  std::string phoneNumber_;
  bool singleFaxGiven_ = false;
};

class TSendFax : public TCustomSendFax {
 public:
  using TCustomSendFax::TCustomSendFax;
};

}  // namespace ql
