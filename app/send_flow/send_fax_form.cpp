#include "app/send_flow/send_fax_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/modem_tools.h"
#include "app/modem_tools/reset_modem.h"
#include "app/preferences/preferences.h"
#include "app/send_flow/fax_status.h"
#include "app/send_flow/header_line.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "platform/clock.h"
#include "platform/help/help.h"
#include "platform/message_pump.h"
#include "platform/text.h"
#include "serial/errors/error_text.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::string& value, int maxLength = 0) {
  auto* edit = new QLineEdit(Q(value), parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (maxLength > 0) edit->setMaxLength(maxLength);
  return edit;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items, int position) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(items);
  list->setCurrentIndex(position >= 0 && position < list->count() ? position : 0);
  return list;
}

bool ParseField(const QLineEdit* edit, int& value) { return ParseIntegerField(edit->text(), value); }

}  // namespace

std::filesystem::path SendHistoryFile() { return SendFolder() / "FAXLOG.HIS"; }

TSendFaxForm::TSendFaxForm(QWidget* parent, const std::string& sendFile, const std::string& phone)
    : QDialog(parent), sendFile_(sendFile), phone_(phone) {
  setObjectName(QStringLiteral("TSendFaxForm"));
  setWindowTitle(QStringLiteral("Send Fax"));
  port_.SetComNumber(1);
  ConfigureModemPort(port_, "QLPORT.TRC", "QLPORT.LOG", 32000);
  fax_.SetComPort(&port_);
  status_ = std::make_unique<TFaxStatus>(this);
  fax_.SetStatusDisplay(status_.get());
  log_.SetFaxHistoryName(SendHistoryFile().string());
  fax_.SetFaxLog(&log_);

  const TSettings& s = Settings();
  auto* top = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  top->addLayout(grid);

  auto* left = new QFormLayout;
  phoneEdit_ = MakeEdit(this, "phone", "");
  name_ = MakeEdit(this, "name", s.Name, 20);
  station_ = MakeEdit(this, "station", s.Fax, 20);
  dialPrefix_ = MakeEdit(this, "dialPrefix", s.DialPrefix);
  initString_ = MakeEdit(this, "initString", s.InitString);
  dialAttempts_ = MakeEdit(this, "dialAttempts", std::to_string(s.DialAttempts));
  retryWait_ = MakeEdit(this, "retryWait", std::to_string(s.RetryWait));
  timeout_ = MakeEdit(this, "timeout", std::to_string(s.Timeout));
  left->addRow(QStringLiteral("&Phone #:"), phoneEdit_);
  left->addRow(QStringLiteral("Your Name (optional)"), name_);
  left->addRow(QStringLiteral("Your fax number or Station ID# "), station_);
  left->addRow(QStringLiteral("&Dial prefix:"), dialPrefix_);
  left->addRow(QStringLiteral("&Modem initialization string:"), initString_);
  left->addRow(QStringLiteral("Number of dial attempts"), dialAttempts_);
  left->addRow(QStringLiteral("Seconds to wait before retry"), retryWait_);
  left->addRow(QStringLiteral("Seconds to wait before timeout"), timeout_);
  grid->addLayout(left, 0, 0);

  auto* right = new QFormLayout;
  portList_ = new QComboBox(this);
  portList_->setObjectName(QStringLiteral("port"));
  FillPortList(portList_, s.ComPort);
  faxClass_ = MakeList(this, "faxClass",
                       {QStringLiteral("auto detect"), QStringLiteral("class 1"), QStringLiteral("class 2"),
                        QStringLiteral("class 2.0")},
                       s.FaxClass);
  toneOrPulse_ = MakeList(this, "toneOrPulse", {QStringLiteral("Tone"), QStringLiteral("Pulse")}, s.ToneOrPulse);
  QStringList rates;
  for (int rate : kMaximumBpsRates) rates << QString::number(rate);
  transferRate_ = MakeList(this, "transferRate", rates, BpsToListPosition(s.MaximumBPS));
  blindDial_ = new QCheckBox(QStringLiteral("Blind Dial (ignore dialtone)"), this);
  blindDial_->setObjectName(QStringLiteral("blindDial"));
  blindDial_->setChecked(s.BlindDial);
  ignoreBusy_ = new QCheckBox(QStringLiteral("Ignore Busy Signal"), this);
  ignoreBusy_->setObjectName(QStringLiteral("ignoreBusy"));
  ignoreBusy_->setChecked(s.IgnoreBusy);
  right->addRow(QStringLiteral("Port"), portList_);
  right->addRow(QStringLiteral("Fax &class"), faxClass_);
  right->addRow(QStringLiteral("Tone or Pulse"), toneOrPulse_);
  right->addRow(QStringLiteral("Transfer Rate (BPS)"), transferRate_);
  right->addRow(blindDial_);
  right->addRow(ignoreBusy_);
  auto* tools = new QHBoxLayout;
  auto addButton = [this](QBoxLayout* row, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  connect(addButton(tools, "Find Modem"), &QPushButton::clicked, this, &TSendFaxForm::FindModem);
  connect(addButton(tools, "Check Fax Class"), &QPushButton::clicked, this, &TSendFaxForm::CheckFaxClass);
  connect(addButton(tools, "Modem Reset"), &QPushButton::clicked, this, &TSendFaxForm::ResetModem);
  right->addRow(tools);
  grid->addLayout(right, 0, 1);

  auto* buttons = new QHBoxLayout;
  auto* send = addButton(buttons, "Send Fax");
  send->setObjectName(QStringLiteral("sendFax"));
  send->setDefault(true);
  connect(send, &QPushButton::clicked, this, &TSendFaxForm::SendFax);
  connect(addButton(buttons, "C&lose"), &QPushButton::clicked, this, &TSendFaxForm::reject);
  connect(addButton(buttons, "&Help"), &QPushButton::clicked, this, [] { ShowHelp(kHelpSendFax); });
  connect(addButton(buttons, "Problems??"), &QPushButton::clicked, this, [] { ShowHelp(kHelpTroubleshooting); });
  buttons->addStretch();
  top->addLayout(buttons);
  statusBar_ = new QLabel(this);
  statusBar_->setObjectName(QStringLiteral("statusBar"));
  statusBar_->setFrameShape(QFrame::StyledPanel);
  statusBar_->hide();
  top->addWidget(statusBar_);

  fax_.OnFaxFinish = [this](TCustomAbstractFax&, int code) { OnFinish(code); };
  fax_.OnFaxStatus = [this](TCustomAbstractFax& fax, bool, bool) {
    const int progress = fax.FaxProgress();
    if ((progress == 40 || progress == 41) && connectedMs_ < 0) connectedMs_ = MillisecondClock();
    if (progress == 7) acceptedPages_.insert(fax_.CurrentPage());
  };
}

TSendFaxForm::~TSendFaxForm() {
  fax_.SetStatusDisplay(nullptr);
  fax_.SetFaxLog(nullptr);
}

void TSendFaxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!firstActivation_) return;
  firstActivation_ = false;
  phoneEdit_->setText(Q(phone_));
}

void TSendFaxForm::reject() {
  if (busy_) {
    Beep();
    return;
  }
  QDialog::reject();
}

QString TSendFaxForm::StatusBarText() const { return statusBar_->isVisible() ? statusBar_->text() : QString(); }

void TSendFaxForm::SetStatusText(const QString& text) {
  statusBar_->setText(text);
  statusBar_->setVisible(!text.isEmpty());
  ProcessPendingMessages();
}

void TSendFaxForm::ResetTracing() {
  port_.SetTraceName((AppFolderPath() / "QLSEND.TRC").string());
  port_.SetLogName((AppFolderPath() / "QLSEND.LOG").string());
  port_.SetTracing(tlDump);
  port_.SetTracing(tlOn);
  port_.SetLogging(tlDump);
  port_.SetLogging(tlOn);
}

void TSendFaxForm::TakeFields(TSettings& s) const {
  s.Name = S(name_->text());
  s.Fax = S(station_->text());
  s.DialPrefix = S(dialPrefix_->text());
  s.InitString = S(initString_->text());
  ParseField(dialAttempts_, s.DialAttempts);
  ParseField(retryWait_, s.RetryWait);
  ParseField(timeout_, s.Timeout);
  s.ComPort = portList_->currentIndex();
  s.FaxClass = faxClass_->currentIndex();
  s.ToneOrPulse = toneOrPulse_->currentIndex();
  s.BlindDial = blindDial_->isChecked();
  s.IgnoreBusy = ignoreBusy_->isChecked();
  s.MaximumBPS = ListPositionToBps(transferRate_->currentIndex());
}

bool TSendFaxForm::Configure(QString& error) {
  fax_.SetDesiredBPS(static_cast<uint16_t>(ListPositionToBps(transferRate_->currentIndex())));
  fax_.SetBlindDial(blindDial_->isChecked());
  fax_.SetDetectBusy(!ignoreBusy_->isChecked());
  fax_.SetFaxFile(sendFile_);
  fax_.SetCoverFile("");
  fax_.SetPhoneNumber(S(phoneEdit_->text()));
  fax_.SetToneDial(toneOrPulse_->currentIndex() == 0);
  fax_.SetFaxClass(static_cast<TFaxClass>(faxClass_->currentIndex() + 1));
  // A count that is not a number stops here: no fax goes out with settings other than
  // those the user sees.
  for (QLineEdit* edit : {dialAttempts_, retryWait_, timeout_}) {
    int value = 0;
    if (!ParseField(edit, value) || value < 0 || value > 65535) {
      error = NotAnIntegerText(edit->text());
      return false;
    }
  }
  int attempts = 0, retry = 0, wait = 0;
  ParseField(dialAttempts_, attempts);
  ParseField(retryWait_, retry);
  ParseField(timeout_, wait);
  fax_.SetDialAttempts(static_cast<uint16_t>(attempts));
  fax_.SetDialRetryWait(static_cast<uint16_t>(retry));
  fax_.SetDialWait(static_cast<uint16_t>(wait));
  fax_.SetStationID(S(station_->text()));
  fax_.SetDialPrefix(S(dialPrefix_->text()));
  if (!initString_->text().isEmpty()) fax_.SetModemInit(WithAtPrefix(S(initString_->text())));
  fax_.SetHeaderLine(BuildHeader(S(name_->text()), S(station_->text()), std::time(nullptr)));
  return true;
}

void TSendFaxForm::SendFax() {
  if (busy_) {
    Beep();
    return;
  }
  busy_ = true;
  SetStatusText(QStringLiteral("Opening communications port..."));
  ResetTracing();
  std::string error;
  port_.SetComNumber(portList_->currentIndex() + 1);
  if (!OpenModemPort(port_, error)) {
    try {
      port_.SetOpen(false);
    } catch (...) {
    }
    ShowInfo(Q(error));
    busy_ = false;
    SetStatusText({});
    return;
  }
  if (!Settings().ResetString.empty()) {
    SetStatusText(QStringLiteral("Sending reset string..."));
    SendResetString(port_, Settings().ResetString);
  }
  QString problem;
  try {
    connectedMs_ = -1;
    acceptedPages_.clear();
    if (Configure(problem)) {
      SetStatusText(QStringLiteral("Sending fax..."));
      fax_.StartTransmit();
      return;
    }
  } catch (const std::exception& e) {
    problem = Q(e.what());
  }
  busy_ = false;
  try {
    port_.SetOpen(false);  // closing writes the trace
  } catch (...) {
  }
  SetStatusText({});
  if (!problem.isEmpty()) ShowInfo(problem);
}

void TSendFaxForm::OnFinish(int code) {
  const std::string text = ErrorText(code);
  result_ = code == 0 || ToUpperAscii(text) == "OK" ? std::string("Sent") : text;
  TSendOutcome outcome;
  outcome.code = code;
  outcome.resultText = result_;
  outcome.phoneNumber = fax_.PhoneNumber();
  outcome.remoteId = fax_.RemoteID();
  outcome.sendFile = sendFile_;
  outcome.pages = result_ == "Sent" ? fax_.TotalPages() : static_cast<int>(acceptedPages_.size());
  outcome.seconds = connectedMs_ < 0 ? 0 : static_cast<int>(((MillisecondClock() - connectedMs_) & 0x7FFFFFFF) / 1000);
  outcome.bps = fax_.SessionBPS();
  outcome.finished = std::time(nullptr);
  if (OnSendFinished) OnSendFinished(outcome);
  ShowInfo(result_ == "Sent" ? QStringLiteral("Fax sent successfully") : QStringLiteral("Fax was not sent. ") + Q(text));
  if (!Settings().ResetAfterString.empty()) {
    SetStatusText(QStringLiteral("Sending AFTER reset string..."));
    SendResetString(port_, Settings().ResetAfterString);
  }
  try {
    port_.SetOpen(false);  // closing writes the trace to QLSEND.TRC
  } catch (...) {
  }
  busy_ = false;
  SetStatusText({});
}

void TSendFaxForm::FindModem() {
  if (busy_) {
    Beep();
    return;
  }
  RunFindModem(this, port_, portList_);
}

void TSendFaxForm::CheckFaxClass() {
  if (busy_) {
    Beep();
    return;
  }
  ResetTracing();
  RunCheckFaxClass(this, port_, fax_, portList_->currentIndex() + 1, faxClass_);
  try {
    port_.SetOpen(false);
  } catch (...) {
  }
  ProcessPendingMessages();
  port_.SetTracing(tlDump);
  port_.SetLogging(tlDump);
}

void TSendFaxForm::ResetModem() {
  if (busy_) {
    Beep();
    return;
  }
  TResetModemForm::Run(this, port_);
}

}  // namespace ql
