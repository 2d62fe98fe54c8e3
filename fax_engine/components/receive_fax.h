#pragma once
// TReceiveFax: the receive component. Started, it keeps the modem waiting for calls and
// receives each fax into an APF file in DestinationDir, named by OnFaxName or, without
// a handler, by FileNaming; OnFaxAccept may refuse a call. The run ends after one fax
// with OneFax, at the first error with ExitOnError, or when it is cancelled.
//
// The log event tells what became of each file while FaxFile still names it: code 4
// when it is created, 5 when it is complete, 7 when the call failed (the file then
// holds only its complete pages, and whoever owns the folder removes it), 6 for a call
// refused (no file).

#include <string>

#include "fax_engine/components/abstract_fax.h"

namespace ql {

struct ReceiveSession;

using TFaxAcceptEvent = std::function<void(TCustomAbstractFax& CP, bool& Accept)>;
using TFaxNameEvent = std::function<void(TCustomAbstractFax& CP, std::string& Name)>;

class TCustomReceiveFax : public TAbstractFax {
 public:
  TCustomReceiveFax();
  ~TCustomReceiveFax() override;

  uint16_t AnswerOnRing() const;
  void SetAnswerOnRing(uint16_t rings);
  bool FaxAndData() const;
  void SetFaxAndData(bool on);
  bool OneFax() const;
  void SetOneFax(bool on);
  bool ConstantStatus() const;
  void SetConstantStatus(bool on);
  std::string DestinationDir() const;
  void SetDestinationDir(const std::string& folder);

  // How received files are named without OnFaxName: 1 "FAX" + four digits, 2 month and
  // day + four digits, anything else a fixed name.
  uint8_t FileNaming = 1;

  // Read-only while a fax is received.
  int TotalPages() const { return 0; }
  int CurrentPage() const;
  int BytesTransferred() const;
  int PageLength() const { return 0; }

  // Starts waiting for calls (after the port checks); the finish event ends the run.
  void StartReceive();

  TFaxAcceptEvent OnFaxAccept;
  TFaxNameEvent OnFaxName;

 protected:
  bool FaxAccept() override;
  void FaxName(std::string& name) override;

 private:
  ReceiveSession& Receive() const;
};

class TReceiveFax : public TCustomReceiveFax {
 public:
  using TCustomReceiveFax::TCustomReceiveFax;
};

}  // namespace ql
