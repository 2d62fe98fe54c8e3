#include "fax_engine/components/fax_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fax_engine/components/abstract_fax.h"
#include "fax_engine/components/send_fax.h"
#include "fax_engine/components/two_way_link.h"
#include "fax_engine/session/date_time.h"
#include "serial/errors/error_text.h"
#include "serial/errors/exceptions.h"

namespace ql {

namespace {

std::string DateTime(std::time_t now) { return ShortDateText(now) + " " + TimeText(now); }

}  // namespace

TFaxLog::~TFaxLog() {
  if (fax_ != nullptr && fax_->FaxLog() == this) fax_->SetFaxLog(nullptr);
}

void TFaxLog::SetFax(TCustomAbstractFax* fax) {
  LinkBothWays(this, fax_, fax, &TCustomAbstractFax::FaxLog, &TCustomAbstractFax::SetFaxLog);
}

std::string TFaxLog::LinesFor(TFaxLogCode code, std::time_t now) const {
  if (fax_ == nullptr) return {};
  const bool sender = fax_->Kind() == TFaxComponentKind::fkSend;
  const std::string at = DateTime(now);
  const std::string hangup = std::to_string(fax_->HangupCode());
  const std::string errorText = ErrorText(fax_->LastError());
  const auto* abstract = dynamic_cast<const TAbstractFax*>(fax_);
  const std::string file = abstract != nullptr ? abstract->FaxFile() : std::string();
  if (sender) {
    const auto* send = static_cast<const TCustomSendFax*>(fax_);
    switch (code) {
      case lfaxTransmitStart: return "Transmit " + file + " to " + send->PhoneNumber() + " started at " + at + "\r\n";
      case lfaxTransmitOk:
        return "Transmit to " + fax_->RemoteID() + " finished OK at " + at + " " + hangup + "\r\n\r\n";
      case lfaxTransmitFail: return "Transmit failed at " + at + "\r\n  (" + errorText + ") " + hangup + "\r\n\r\n";
      default: return {};
    }
  }
  switch (code) {
    case lfaxReceiveStart: return "Receive " + file + " from " + fax_->RemoteID() + " started at " + at + "\r\n";
    case lfaxReceiveOk: return "Receive finished OK at " + at + "\r\n\r\n";
    case lfaxReceiveSkip: return "Receive skipped at " + at + "\r\n\r\n";
    case lfaxReceiveFail: return "Receive failed at " + at + "\r\n  (" + errorText + ")\r\n\r\n";
    default: return {};
  }
}

void TFaxLog::UpdateLog(TFaxLogCode code) {
  if (historyName_.empty()) return;
  std::FILE* file = std::fopen(historyName_.c_str(), "ab");
  if (file == nullptr) throw EInOutError("Unable to write to " + historyName_ + ": " + std::strerror(errno), errno);
  const std::string lines = LinesFor(code, std::time(nullptr));
  const bool written = std::fwrite(lines.data(), 1, lines.size(), file) == lines.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) throw EInOutError("Unable to write to " + historyName_, writeError);
}

}  // namespace ql
