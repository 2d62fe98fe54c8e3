#pragma once
// "Send Fax": the dialling settings of one send, shown before it starts and kept after
// it; Send Fax opens the modem's port, sends the reset string and starts the send
// component, whose progress the "Fax Status" window shows. Several sends can be made
// from one dialog; the result of the last is kept ("Cancelled" when none finished).

#include <QDialog>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/send_fax.h"
#include "serial/comport/com_port.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ql {

struct TSettings;
class TFaxStatus;

// What one finished send did, for the transmission report.
struct TSendOutcome {
  int code = 0;
  std::string resultText;  // "Sent" or the error text
  std::string phoneNumber, remoteId, sendFile;
  int pages = 0;      // pages the far machine accepted
  int seconds = 0;    // from the connection to the end
  int bps = 0;
  std::time_t finished = 0;
};

class TSendFaxForm : public QDialog {
  Q_OBJECT

 public:
  // sendFile: the prepared file; phone: the row's number (filled in when first shown).
  TSendFaxForm(QWidget* parent, const std::string& sendFile, const std::string& phone);
  ~TSendFaxForm() override;

  const std::string& Result() const { return result_; }
  bool Busy() const { return busy_; }
  // Takes every field back into settings; an integer field that is not one keeps the
  // setting's value.
  void TakeFields(TSettings& settings) const;

  // The Send Fax button.
  void SendFax();
  // Runs after each finished send (before the port closes).
  std::function<void(const TSendOutcome&)> OnSendFinished;

  TSendFax& Fax() { return fax_; }
  TComPort& Port() { return port_; }
  TFaxStatus& Status() { return *status_; }
  QString StatusBarText() const;

  // "The ComNumber ... " texts: the modem tools' buttons.
  void FindModem();
  void CheckFaxClass();
  void ResetModem();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void ResetTracing();
  bool Configure(QString& error);
  void OnFinish(int code);
  void SetStatusText(const QString& text);

  std::string sendFile_;
  std::string phone_;
  std::string result_ = "Cancelled";
  bool busy_ = false;
  bool firstActivation_ = true;

  TComPort port_;
  TSendFax fax_;
  std::unique_ptr<TFaxStatus> status_;
  TFaxLog log_;
  // For the report: when the call connected and which pages the far machine took.
  int64_t connectedMs_ = -1;
  std::set<int> acceptedPages_;

  QLineEdit* phoneEdit_;
  QLineEdit* name_;
  QLineEdit* station_;
  QLineEdit* dialPrefix_;
  QLineEdit* initString_;
  QLineEdit* dialAttempts_;
  QLineEdit* retryWait_;
  QLineEdit* timeout_;
  QComboBox* portList_;
  QComboBox* faxClass_;
  QComboBox* toneOrPulse_;
  QCheckBox* blindDial_;
  QCheckBox* ignoreBusy_;
  QComboBox* transferRate_;
  QLabel* statusBar_;
};

// The fax history file of the send flow: FAXLOG.HIS in the send folder.
std::filesystem::path SendHistoryFile();

}  // namespace ql
