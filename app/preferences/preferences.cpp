#include "app/preferences/preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/modem_tools.h"
#include "app/modem_tools/reset_modem.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/help/help.h"
#include "platform/sound/sound.h"
#include "fax_engine/components/send_fax.h"
#include "serial/comport/com_port.h"
#include "serial/errors/exceptions.h"

namespace ql {
namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name, int maxLength = 0) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (maxLength > 0) edit->setMaxLength(maxLength);
  return edit;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(items);
  return list;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// A count field into its setting; the standard message when it is not an integer.
bool TakeCount(const QLineEdit* edit, int& target, QString& error) {
  if (ParseIntegerField(edit->text(), target)) return true;
  error = NotAnIntegerText(edit->text());
  return false;
}

// A list position taken from a setting, kept inside the list.
int Position(const QComboBox* list, int value) { return value >= 0 && value < list->count() ? value : 0; }

}  // namespace

QString NotAnIntegerText(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

bool ParseIntegerField(const QString& text, int& value) {
  bool ok = false;
  const int parsed = text.trimmed().toInt(&ok, 10);
  if (ok) value = parsed;
  return ok;
}

QString TPreferences::FirstRunText() {
  return QStringLiteral(
      "Please enter information about yourself and your\rfaxmodem in the Preferences screen. "
      "These values\rwill be saved for future use.\r\rBe sure to verify at least the Port setting "
      "before\rcontinuing");
}

TPreferences::TPreferences(QWidget* parent, bool firstRun, TPreferencesScope scope)
    : QDialog(parent), firstRun_(firstRun), scope_(scope) {
  setWindowTitle(QStringLiteral("Preferences"));
  setObjectName(QStringLiteral("TPreferences"));

  auto* you = new QGroupBox(QStringLiteral("About you"), this);
  auto* youForm = new QFormLayout(you);
  name_ = MakeEdit(you, "name", 35);
  fax_ = MakeEdit(you, "fax", 20);
  voice_ = MakeEdit(you, "voice", 20);
  company_ = MakeEdit(you, "company", 35);
  youForm->addRow(QStringLiteral("Your &name"), name_);
  youForm->addRow(QStringLiteral("Your &fax number (Station ID#)"), fax_);
  youForm->addRow(QStringLiteral("Your &voice number"), voice_);
  youForm->addRow(QStringLiteral("Your &company"), company_);

  auto* dialing = new QGroupBox(QStringLiteral("Dialing"), this);
  auto* dialForm = new QFormLayout(dialing);
  dialPrefix_ = MakeEdit(dialing, "dialPrefix");
  dialAttempts_ = MakeEdit(dialing, "dialAttempts");
  retryWait_ = MakeEdit(dialing, "retryWait");
  timeout_ = MakeEdit(dialing, "timeout");
  dialAttempts_->setText(QStringLiteral("3"));
  retryWait_->setText(QStringLiteral("60"));
  timeout_->setText(QStringLiteral("60"));
  toneOrPulse_ = MakeList(dialing, "toneOrPulse", {QStringLiteral("Tone"), QStringLiteral("Pulse")});
  blindDial_ = new QCheckBox(QStringLiteral("Blind Dial"), dialing);
  blindDial_->setObjectName(QStringLiteral("blindDial"));
  ignoreBusy_ = new QCheckBox(QStringLiteral("Ignore Busy Signal"), dialing);
  ignoreBusy_->setObjectName(QStringLiteral("ignoreBusy"));
  dialForm->addRow(QStringLiteral("&Dial prefix:"), dialPrefix_);
  dialForm->addRow(QStringLiteral("Dial attempts"), dialAttempts_);
  dialForm->addRow(QStringLiteral("Seconds before retry"), retryWait_);
  dialForm->addRow(QStringLiteral("Seconds before timeout"), timeout_);
  dialForm->addRow(QStringLiteral("Tone or Pulse"), toneOrPulse_);
  dialForm->addRow(blindDial_);
  dialForm->addRow(ignoreBusy_);

  auto* modem = new QGroupBox(QStringLiteral("Modem"), this);
  auto* modemForm = new QFormLayout(modem);
  initString_ = MakeEdit(modem, "initString");
  port_ = MakeList(modem, "port", {});
  FillPortList(port_, 0);  // each with its device: "Com1 - /dev/ttyACM0"
  faxClass_ = MakeList(modem, "faxClass",
                       {QStringLiteral("auto detect"), QStringLiteral("class 1"), QStringLiteral("class 2"),
                        QStringLiteral("class 2.0")});
  QStringList rates;
  for (int rate : kMaximumBpsRates) rates << QString::number(rate);
  transferRate_ = MakeList(modem, "transferRate", rates);
  modemForm->addRow(QStringLiteral("&Modem initialization string:"), initString_);
  modemForm->addRow(QStringLiteral("Port"), port_);
  modemForm->addRow(QStringLiteral("Fax &class"), faxClass_);
  modemForm->addRow(QStringLiteral("Transfer Rate (BPS)"), transferRate_);
  auto* tools = new QHBoxLayout;
  int tool = 0;
  for (const char* label : {"Find Modem", "Check Fax Class", "Modem Reset"}) {
    auto* button = new QPushButton(QString::fromLatin1(label), modem);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, tool] { ShowModemTool(tool); });
    tools->addWidget(button);
    ++tool;
  }
  modemForm->addRow(tools);
  report_ = new QCheckBox(QStringLiteral("Print a transmission report"), modem);
  report_->setObjectName(QStringLiteral("transmissionReport"));
  report_->setToolTip(QStringLiteral("After each send, a one-page PDF in the SEND folder: date, remote ID, number, "
                                     "pages, duration, rate, result and the first page"));
  modemForm->addRow(report_);

  auto* receive = new QGroupBox(QStringLiteral("Receiving"), this);
  auto* receiveLayout = new QGridLayout(receive);
  answerOnRing_ = MakeList(receive, "answerOnRing", {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  wav_ = MakeEdit(receive, "wav");
  auto* wavLabel = new QLabel(QStringLiteral("Select &WAV File to play when receiving a fax:"), receive);
  wavLabel->setBuddy(wav_);
  auto* choose = new QPushButton(QStringLiteral("&Choose"), receive);
  auto* play = new QPushButton(QStringLiteral("Play &Now"), receive);
  auto* none = new QPushButton(QStringLiteral("None"), receive);
  receiveLayout->addWidget(new QLabel(QStringLiteral("Answer on ring"), receive), 0, 0);
  receiveLayout->addWidget(answerOnRing_, 0, 1);
  receiveLayout->addWidget(wavLabel, 1, 0, 1, 4);
  receiveLayout->addWidget(wav_, 2, 0, 1, 4);
  receiveLayout->addWidget(choose, 3, 1);
  receiveLayout->addWidget(play, 3, 2);
  receiveLayout->addWidget(none, 3, 3);
  connect(choose, &QPushButton::clicked, this, &TPreferences::OnChooseWav);
  connect(play, &QPushButton::clicked, this, &TPreferences::OnPlayWav);
  connect(none, &QPushButton::clicked, wav_, &QLineEdit::clear);

  auto* buttons = new QDialogButtonBox(this);
  auto* accept = buttons->addButton(QStringLiteral("&Accept"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cance&l"), QDialogButtonBox::RejectRole);
  auto* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  accept->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TPreferences::OnAccept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpPreferences); });

  auto* grid = new QGridLayout;
  grid->addWidget(you, 0, 0);
  grid->addWidget(modem, 0, 1);
  grid->addWidget(dialing, 1, 0);
  grid->addWidget(receive, 1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);

  FillFields();
}

void TPreferences::FillFields() {
  const TSettings& s = Settings();
  name_->setText(Q(s.Name));
  fax_->setText(Q(s.Fax));
  voice_->setText(Q(s.Voice));
  company_->setText(Q(s.Company));
  dialPrefix_->setText(Q(s.DialPrefix));
  initString_->setText(Q(s.InitString));
  dialAttempts_->setText(QString::number(s.DialAttempts));
  retryWait_->setText(QString::number(s.RetryWait));
  timeout_->setText(QString::number(s.Timeout));
  port_->setCurrentIndex(Position(port_, s.ComPort));
  faxClass_->setCurrentIndex(Position(faxClass_, s.FaxClass));
  toneOrPulse_->setCurrentIndex(Position(toneOrPulse_, s.ToneOrPulse));
  blindDial_->setChecked(s.BlindDial);
  ignoreBusy_->setChecked(s.IgnoreBusy);
  transferRate_->setCurrentIndex(BpsToListPosition(s.MaximumBPS));
  answerOnRing_->setCurrentIndex(Position(answerOnRing_, s.AnswerOnRing - 1));
  wav_->setText(Q(s.Wav));
  report_->setChecked(s.TransmissionReport);
}

bool TPreferences::TakeFields(TSettings& settings, QString& error) const {
  // The fields go back in this fixed order; the first count that is not an integer
  // stops the whole Accept before anything is changed. The sender's values, with the
  // dial attempts and retry wait, are the subset "Change Sender Info" takes; the counts
  // are checked in the same order either way (attempts, retry wait, time-out).
  TSettings s = settings;
  if (!TakeSenderInfo(s, error)) return false;
  s.Wav = S(wav_->text());
  s.AnswerOnRing = answerOnRing_->currentIndex() + 1;
  s.IgnoreBusy = ignoreBusy_->isChecked();
  if (!TakeCount(timeout_, s.Timeout, error)) return false;
  s.MaximumBPS = ListPositionToBps(transferRate_->currentIndex());
  s.TransmissionReport = report_->isChecked();
  settings = s;
  return true;
}

bool TPreferences::TakeSenderInfo(TSettings& settings, QString& error) const {
  // Only the subset's counts are checked: a bad time-out, which is not taken, does not
  // stop it.
  TSettings s = settings;
  if (!TakeCount(dialAttempts_, s.DialAttempts, error) || !TakeCount(retryWait_, s.RetryWait, error)) return false;
  s.Fax = S(fax_->text());
  s.Voice = S(voice_->text());
  s.Name = S(name_->text());
  s.Company = S(company_->text());
  s.DialPrefix = S(dialPrefix_->text());
  s.InitString = S(initString_->text());
  s.ComPort = port_->currentIndex();
  s.FaxClass = faxClass_->currentIndex();
  s.BlindDial = blindDial_->isChecked();
  s.ToneOrPulse = toneOrPulse_->currentIndex();
  settings = s;
  return true;
}

void TPreferences::OnAccept() {
  QString error;
  TSettings taken = Settings();
  const bool took = scope_ == TPreferencesScope::psSenderInfo ? TakeSenderInfo(taken, error) : TakeFields(taken, error);
  if (!took) {
    ShowError(error);
    return;
  }
  Settings() = taken;
  try {
    SaveSettings();
  } catch (const Exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return;
  }
  accept();
}

void TPreferences::OnChooseWav() {
  QFileDialog dialog(this, QStringLiteral("Select WAV File"), QString::fromStdString(AppFolder()),
                     QStringLiteral("WAVE files (*.wav *.WAV)"));
  dialog.setObjectName(QStringLiteral("chooseWav"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QFileInfo current(wav_->text());
  if (!wav_->text().isEmpty() && current.exists()) {
    dialog.setDirectory(current.absolutePath());
    dialog.selectFile(current.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString chosen = dialog.selectedFiles().first();
  if (chosen.toUpper().contains(QStringLiteral(".WAV"))) wav_->setText(chosen);
}

void TPreferences::OnPlayWav() { PlaySoundAsync(S(wav_->text())); }

TPreferences::~TPreferences() = default;

void TPreferences::ShowModemTool(int tool) {
  if (!toolPort_) {
    // The window's own port: traced and logged to QLPORT.TRC and QLPORT.LOG.
    toolPort_ = std::make_unique<TComPort>();
    ConfigureModemPort(*toolPort_, "QLPORT.TRC", "QLPORT.LOG", 32000);
    toolPort_->SetTracing(tlOn);
    toolPort_->SetLogging(tlOn);
    toolFax_ = std::make_unique<TSendFax>();
    toolFax_->SetComPort(toolPort_.get());
  }
  toolPort_->SetComNumber(port_->currentIndex() + 1);
  if (tool == 0) RunFindModem(this, *toolPort_, port_);
  else if (tool == 1) RunCheckFaxClass(this, *toolPort_, *toolFax_, port_->currentIndex() + 1, faxClass_);
  else TResetModemForm::Run(this, *toolPort_);
}

void TPreferences::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (firstRun_ && !firstRunShown_) {
    firstRunShown_ = true;
    // After the window is up, so the box stands over it.
    QTimer::singleShot(0, this, [] { ShowInfo(FirstRunText()); });
  }
}

bool TPreferences::Edit(QWidget* parent, bool firstRun) {
  TPreferences window(parent, firstRun);
  CenterOverMain(&window);
  return window.exec() == QDialog::Accepted;
}

bool TPreferences::EditSenderInfo(QWidget* parent) {
  TPreferences window(parent, false, TPreferencesScope::psSenderInfo);
  CenterOverMain(&window);
  return window.exec() == QDialog::Accepted;
}

}  // namespace ql
