#include "fax_engine/receive/receive_session.h"

#include "fax_engine/session/session_run.h"

namespace ql {

ReceiveSession::ReceiveSession() : FaxSession(false) {}

// Entries under way end before the receive direction's members go.
ReceiveSession::~ReceiveSession() { UnregisterSession(*this); }

}  // namespace ql
