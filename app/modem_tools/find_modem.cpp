#include "app/modem_tools/find_modem.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/serial_devices.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/settings/work_folders.h"
#include "platform/message_pump.h"
#include "serial/comport/com_port.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"

namespace ql {
namespace {

// The port number under which a device without one is tried.
constexpr int kProbeNumber = kPortCount + 1;

// While alive, kProbeNumber names `device`; every other number resolves as before.
class ProbeNumber {
 public:
  explicit ProbeNumber(const std::string& device) : previous_(PortDeviceResolver()) {
    TPortDeviceResolver previous = previous_;
    SetPortDeviceResolver([previous, device](int n) {
      if (n == kProbeNumber) return device;
      return previous ? previous(n) : std::string();
    });
  }
  ~ProbeNumber() { SetPortDeviceResolver(previous_); }
  ProbeNumber(const ProbeNumber&) = delete;
  ProbeNumber& operator=(const ProbeNumber&) = delete;

 private:
  TPortDeviceResolver previous_;
};

TProbeResult Probe(TComPort& port, int comNumber, const std::string& device) {
  TProbeResult r;
  try {
    port.SetComNumber(comNumber);
    try {
      port.SetOpen(true);
    } catch (const std::exception& e) {
      const int code = CodeOfException(e);
      if (code == ecAlreadyOpen || code == ecHardware) {
        const std::string permission = PermissionProblem(device);
        if (!permission.empty()) {
          r.text = "No permission to open it";
          r.note = permission;
        } else {
          r.text = "Port is already open (could be modem)";
          r.busy = true;
          const std::string holder = LockHolder(device);
          if (!holder.empty()) r.text += " - lock file " + holder;
        }
      } else if (code == ecBadId) {
        r.text = "Port does not exist";
      } else if (code != ecUnknownException && code != 0) {
        const std::string text = ErrorText(code);
        r.text = text.empty() ? std::string("Unknown Error") : text;
      } else {
        r.text = std::string("ERROR: ") + e.what();
      }
    }
    if (port.Open()) {
      try {
        port.SendString("AT\r");
        if (port.AwaitString("OK", kProbeWaitTicks, true, false)) {
          r.text += "MODEM";
          r.modem = true;
        } else {
          r.text += "Unknown";
        }
      } catch (...) {
        r.text += "Unknown";
      }
    } else if (r.text.empty()) {
      r.text = "Unknown";
    }
    port.SetOpen(false);
  } catch (const std::exception& e) {
    r.text += std::string(" ERROR: ") + e.what();
  }
  return r;
}

}  // namespace

TProbeResult ProbePort(TComPort& port, int comNumber) {
  return Probe(port, comNumber, ResolvePortDevice(comNumber));
}

TProbeResult ProbeDevice(TComPort& port, const std::string& device) {
  ProbeNumber number(device);
  return Probe(port, kProbeNumber, device);
}

std::string FindModemResultText(int found, bool busySeen) {
  if (found > 0) {
    const std::string n = std::to_string(found);
    return "A modem was found on Com Port " + n + ". " + "We suggest setting the Port as Com " + n + ".";
  }
  if (busySeen)
    return "No modem found. Please make sure that all communication programs (internet, AOL, etc) are closed, and "
           "then try again. If you know which Com port your modem uses, you can also just set the Port to that setting";
  return "No modem found. If you know which Com port your modem uses, you can also just set the Port to that setting";
}

TFindModemForm::TFindModemForm(QWidget* parent, TComPort& port, std::vector<std::string> devices)
    : QDialog(parent), port_(port), devices_(std::move(devices)) {
  setObjectName(QStringLiteral("TFindModemForm"));
  setWindowTitle(QStringLiteral("Finding Modem...Please wait"));
  layout_ = new QVBoxLayout(this);
  for (int n = 1; n <= kPortCount; ++n) {
    auto* label = new QLabel(QStringLiteral("Com %1: ").arg(n), this);
    label->setObjectName(QStringLiteral("port%1").arg(n));
    labels_.push_back(label);
    layout_->addWidget(label);
  }
  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("result"));
  result_->setWordWrap(true);
  result_->setMinimumWidth(420);
  layout_->addWidget(result_);
  ok_ = new QPushButton(QStringLiteral("Ok"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  layout_->addWidget(ok_, 0, Qt::AlignRight);
}

void TFindModemForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  QTimer::singleShot(0, this, &TFindModemForm::RunSearch);
}

void TFindModemForm::RunSearch() {
  port_.SetTraceName((AppFolderPath() / "QLTEST.TRC").string());
  port_.SetLogName((AppFolderPath() / "QLTEST.LOG").string());
  ok_->hide();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool busySeen = false;
  std::vector<std::string> notes;
  for (int n = 1; n <= kPortCount; ++n) {
    labels_[n - 1]->setText(QStringLiteral("Com %1: TESTING").arg(n));
    ProcessPendingMessages();
    const TProbeResult r = ProbePort(port_, n);
    if (r.busy) busySeen = true;
    if (r.modem && found_ < 0) found_ = n;
    if (!r.note.empty()) notes.push_back("Com " + std::to_string(n) + ": " + r.note);
    const std::string device = ResolvePortDevice(n);
    QString text = QStringLiteral("Com %1: ").arg(n) + QString::fromStdString(r.text);
    if (!device.empty()) text += QStringLiteral("   [%1]").arg(QString::fromStdString(DeviceDescription(device)));
    labels_[n - 1]->setText(text);
  }
  // Devices the six port numbers do not name: a modem may be plugged in elsewhere.
  if (!devices_.empty()) layout_->insertWidget(kPortCount, new QLabel(QStringLiteral("Other serial devices:"), this));
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    auto* label = new QLabel(QString::fromStdString(devices_[i]) + QStringLiteral(": TESTING"), this);
    label->setObjectName(QStringLiteral("device%1").arg(i + 1));
    layout_->insertWidget(kPortCount + 1 + static_cast<int>(i), label);
    ProcessPendingMessages();
    const TProbeResult r = ProbeDevice(port_, devices_[i]);
    if (r.modem && foundDevice_.empty()) foundDevice_ = devices_[i];
    if (!r.note.empty()) notes.push_back(devices_[i] + ": " + r.note);
    label->setText(QString::fromStdString(devices_[i] + ": " + r.text));
  }
  QApplication::restoreOverrideCursor();
  std::string text = FindModemResultText(found_, busySeen);
  if (found_ < 0 && !foundDevice_.empty())
    text = "A modem was found on " + foundDevice_ + ", which no port number names yet.";
  for (const std::string& note : notes) text += "\n\n" + note;
  result_->setText(QString::fromStdString(text));
  ok_->show();
  setWindowTitle(QStringLiteral("Find Modem"));
  finished_ = true;
  Beep();
}

}  // namespace ql
