#include "app/modem_tools/check_fax_class.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/modem_tools/modem_port.h"
#include "app/ui/message_boxes.h"
#include "fax_engine/components/abstract_fax.h"
#include "platform/message_pump.h"
#include "serial/comport/com_port.h"

namespace ql {
namespace {

std::string Supported(const char* label, bool yes) { return std::string(label) + (yes ? "Supported" : "Not Supported"); }

}  // namespace

TClassVerdict JudgeFaxClasses(bool ok, TFaxClassSet classes, int portNumber) {
  TClassVerdict v;
  const bool c1 = HasFaxClass(classes, fcClass1), c2 = HasFaxClass(classes, fcClass2),
             c20 = HasFaxClass(classes, fcClass2_0);
  if (!ok || !(c1 || c2 || c20)) {
    v.status = "Unable to determine Fax Class support from modem on Com " + std::to_string(portNumber);
    v.class1 = "Class 1   : unknown";
    v.class2 = "Class 2   : unknown";
    v.class20 = "Class 2.0 : unknown";
    return v;
  }
  v.class20 = Supported("Class 2.0 : ", c20);
  v.class2 = Supported("Class 2   : ", c2);
  v.class1 = Supported("Class 1   : ", c1);
  if (c20) {
    v.recommended = 2;
    v.name = "Class 2.0";
    v.class20Bold = true;
  } else if (c2) {
    v.recommended = 1;
    v.name = "Class 2";
    v.class2 += " (recommended)";
  } else {
    v.recommended = 0;
    v.name = "Class 1";
    v.class1 += " (recommended)";
  }
  v.status = "Try using the recommended Fax Class (" + v.name + ") or auto detect. " +
             "If you experience problems, try Class 1." + "\r\r" +
             "(note: US Robotics users should read the help section on troubleshooting)";
  return v;
}

TCheckFaxClassForm::TCheckFaxClassForm(QWidget* parent, TComPort& port, TCustomAbstractFax& fax, int portNumber)
    : QDialog(parent), port_(port), fax_(fax), portNumber_(portNumber) {
  setObjectName(QStringLiteral("TCheckFaxClassForm"));
  setWindowTitle(QStringLiteral("Finding Fax Class...Please wait"));
  auto* layout = new QVBoxLayout(this);
  auto make = [this, layout](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    QFont mono = label->font();
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    label->setFont(mono);
    layout->addWidget(label);
    return label;
  };
  class20_ = make("class20");
  class2_ = make("class2");
  class1_ = make("class1");
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  status_->setMinimumWidth(420);
  layout->addWidget(status_);
  ok_ = new QPushButton(QStringLiteral("Ok"), this);
  ok_->setDefault(true);
  ok_->hide();
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok_, 0, Qt::AlignRight);
}

void TCheckFaxClassForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  QTimer::singleShot(0, this, &TCheckFaxClassForm::RunCheck);
}

void TCheckFaxClassForm::Show(const TClassVerdict& v) {
  class1_->setText(QString::fromStdString(v.class1));
  class2_->setText(QString::fromStdString(v.class2));
  class20_->setText(QString::fromStdString(v.class20));
  QFont bold = class20_->font();
  bold.setBold(v.class20Bold);
  class20_->setFont(bold);
}

void TCheckFaxClassForm::RunCheck() {
  status_->setText(QStringLiteral("Opening Com Port...please wait"));
  ProcessPendingMessages();
  std::string error;
  try {
    port_.SetComNumber(portNumber_);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (error.empty() && OpenModemPort(port_, error)) {
    FactoryReset(port_);
    status_->setText(QStringLiteral("Querying modem Fax Class support..."));
    ProcessPendingMessages();
    bool ok = true;
    TFaxClassSet classes = 0;
    try {
      classes = fax_.SupportedFaxClasses();
    } catch (...) {
      ok = false;
    }
    status_->clear();
    verdict_ = JudgeFaxClasses(ok, classes, portNumber_);
    Show(verdict_);
    ProcessPendingMessages();
  } else {
    verdict_ = JudgeFaxClasses(false, 0, portNumber_);
    verdict_.status = error;
    Show(verdict_);
  }
  status_->setText(DisplayText(QString::fromStdString(verdict_.status)));
  Beep();
  try {
    port_.SetOpen(false);
  } catch (...) {
  }
  ProcessPendingMessages();
  ok_->show();
  setWindowTitle(QStringLiteral("Check Fax Class"));
  finished_ = true;
}

}  // namespace ql
