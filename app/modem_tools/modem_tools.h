#pragma once
// The modem tools as the send dialog and Preferences start them: each runs its dialog
// on the caller's port component, then offers what it found to the caller's lists.

class QComboBox;
class QWidget;

namespace ql {

class TComPort;
class TCustomAbstractFax;

// Port list entries ("Com1 - /dev/ttyACM0" ...), kept at the selected position.
void FillPortList(QComboBox* list, int position);

// Find Modem. Afterwards the port goes back to the selected number; a modem found on
// another port is offered ("Set Com Port to Com n"), and one found on a device without
// port number is offered a free number (which names it from then on). The port list
// shows the choice.
void RunFindModem(QWidget* parent, TComPort& port, QComboBox* portList);

// Check Fax Class on the selected port with the caller's fax component; a recommended
// class other than the one chosen is offered ("Set fax class as Class 2.0 ?").
void RunCheckFaxClass(QWidget* parent, TComPort& port, TCustomAbstractFax& fax, int portNumber, QComboBox* classList);

}  // namespace ql
