#pragma once
// The hidden "qlFaxHandler" windows of the fax components, and the program-wide list
// of (window, component) pairs their messages are dispatched by.

#include "platform/message_windows/message_window.h"

namespace ql {

class TCustomAbstractFax;

// Makes the hidden window of a component; raises EInternal (-1006) when it cannot.
MessageWindow CreateFaxHandlerWindow(TCustomAbstractFax& fax);
void DestroyFaxHandlerWindow(MessageWindow window);
// The component of a window, or null.
TCustomAbstractFax* FaxOfWindow(MessageWindow window);

}  // namespace ql
