#include "app/modem_tools/modem_tools.h"

#include <QComboBox>

#include "app/modem_tools/check_fax_class.h"
#include "app/modem_tools/find_modem.h"
#include "app/modem_tools/serial_devices.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "fax_engine/components/abstract_fax.h"
#include "serial/comport/com_port.h"

namespace ql {

void FillPortList(QComboBox* list, int position) {
  list->clear();
  for (const std::string& label : PortLabels(Settings())) list->addItem(QString::fromStdString(label));
  list->setCurrentIndex(position >= 0 && position < kPortCount ? position : 0);
}

void RunFindModem(QWidget* parent, TComPort& port, QComboBox* portList) {
  const int selected = portList->currentIndex();
  TFindModemForm form(parent, port, UnconfiguredSerialDevices(Settings(), ListSerialDevices()));
  CenterOverMain(&form);
  form.exec();
  try {
    port.SetComNumber(selected + 1);
  } catch (...) {
  }
  const int found = form.FindResult();
  if (found > 0 && found != selected + 1) {
    if (AskYesNo(QStringLiteral("Set Com Port to Com %1").arg(found), QStringLiteral("Com Port")))
      portList->setCurrentIndex(found - 1);
    return;
  }
  if (found > 0 || form.FoundDevice().empty()) return;
  const int free = FreePortNumber(Settings());
  const QString device = QString::fromStdString(form.FoundDevice());
  if (free < 0) {
    ShowInfo(QStringLiteral("A modem was found on %1, but every port number names a device. Set one of them to it "
                            "in QL.INI, section [Ports].")
                 .arg(device));
    return;
  }
  if (!AskYesNo(QStringLiteral("A modem was found on %1, which no port number names yet.\rPut it on Com %2?")
                    .arg(device)
                    .arg(free),
                QStringLiteral("Com Port")))
    return;
  Settings().PortDevices[static_cast<std::size_t>(free - 1)] = form.FoundDevice();
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
  FillPortList(portList, free - 1);
}

void RunCheckFaxClass(QWidget* parent, TComPort& port, TCustomAbstractFax& fax, int portNumber, QComboBox* classList) {
  if (fax.ComPort() != &port) fax.SetComPort(&port);
  TCheckFaxClassForm form(parent, port, fax, portNumber);
  CenterOverMain(&form);
  form.exec();
  const TClassVerdict& v = form.Verdict();
  if (v.recommended >= 0 && v.recommended + 1 != classList->currentIndex() &&
      AskYesNo(QStringLiteral("Set fax class as %1 ?").arg(QString::fromStdString(v.name)), QStringLiteral("Fax Class")))
    classList->setCurrentIndex(v.recommended + 1);
}

}  // namespace ql
