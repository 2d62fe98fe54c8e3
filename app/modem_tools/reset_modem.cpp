#include "app/modem_tools/reset_modem.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/serial_devices.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/help/help.h"
#include "platform/message_pump.h"
#include "serial/comport/com_port.h"

namespace ql {

TResetModemForm::TResetModemForm(QWidget* parent, TComPort& port) : QDialog(parent), port_(port) {
  LoadSettings();
  const TSettings& s = Settings();
  setObjectName(QStringLiteral("TResetModemForm"));
  setWindowTitle(QStringLiteral("Modem Reset"));
  auto* grid = new QGridLayout(this);
  port_list_ = new QComboBox(this);
  port_list_->setObjectName(QStringLiteral("port"));
  for (const std::string& label : PortLabels(s)) port_list_->addItem(QString::fromStdString(label));
  port_list_->setCurrentIndex(s.ComPort >= 0 && s.ComPort < kPortCount ? s.ComPort : 0);
  grid->addWidget(new QLabel(QStringLiteral("Port"), this), 0, 0);
  grid->addWidget(port_list_, 0, 1, 1, 3);

  auto addRow = [this, grid](int row, const char* label, const char* name, const std::string& value,
                             const char* recommended) {
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0, 1, 4);
    auto* edit = new QLineEdit(QString::fromStdString(value), this);
    edit->setObjectName(QString::fromLatin1(name));
    auto* rec = new QPushButton(QStringLiteral("Recommended"), this);
    rec->setObjectName(QString::fromLatin1(name) + QStringLiteral("Recommended"));
    auto* send = new QPushButton(QStringLiteral("Send Now"), this);
    send->setObjectName(QString::fromLatin1(name) + QStringLiteral("SendNow"));
    grid->addWidget(edit, row + 1, 0, 1, 2);
    grid->addWidget(rec, row + 1, 2);
    grid->addWidget(send, row + 1, 3);
    const QString text = QString::fromLatin1(recommended);
    connect(rec, &QPushButton::clicked, edit, [edit, text] { edit->setText(text); });
    connect(send, &QPushButton::clicked, this, [this, edit] { SendNow(edit); });
    return edit;
  };
  before_ = addRow(1, "Use the following reset string BEFORE each fax session (send or receive):", "before",
                   s.ResetString, "AT&F");
  after_ = addRow(3, "Use the following reset string AFTER each fax session (send or receive):", "after",
                  s.ResetAfterString, "ATZ");
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  grid->addWidget(status_, 5, 0, 1, 4);
  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(QStringLiteral("&Ok"), this);
  ok_->setDefault(true);
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpModemReset); });
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(help);
  grid->addLayout(buttons, 6, 0, 1, 4);
}

void TResetModemForm::Run(QWidget* parent, TComPort& port) {
  TResetModemForm form(parent, port);
  CenterOverMain(&form);
  form.exec();
}

void TResetModemForm::SendNow(QLineEdit* edit) {
  if (edit->text().isEmpty()) {
    Beep();
    return;
  }
  ok_->setEnabled(false);
  status_->setText(QStringLiteral("Opening Com Port...please wait"));
  ProcessPendingMessages();
  std::string error;
  bool opened = false;
  try {
    port_.SetComNumber(port_list_->currentIndex() + 1);
    opened = OpenModemPort(port_, error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (opened)
    status_->setText(SendResetString(port_, edit->text().toStdString()) ? QStringLiteral("Modem reset")
                                                                         : QStringLiteral("Unable to reset modem"));
  else
    status_->setText(DisplayText(QString::fromStdString(error)));
  Beep();
  try {
    port_.SetOpen(false);
  } catch (...) {
  }
  ProcessPendingMessages();
  ok_->setEnabled(true);
}

void TResetModemForm::done(int result) {
  Settings().ResetString = before_->text().toStdString();
  Settings().ResetAfterString = after_->text().toStdString();
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
  QDialog::done(result);
}

}  // namespace ql
