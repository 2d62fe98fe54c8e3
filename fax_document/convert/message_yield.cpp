#include "fax_document/convert/message_yield.h"

#include "platform/message_pump.h"
#include "platform/message_windows/message_window.h"
#include "serial/errors/error_codes.h"

namespace ql {

int LetMessagesThrough() {
  ProcessPendingMessages();
  return ApplicationTerminating() ? ecGotQuitMsg : 0;
}

}  // namespace ql
