#include "fax_engine/tests/interop/receive_call.h"

#include <chrono>

#include "fax_document/apf/apf_file.h"
#include "platform/message_windows/message_window.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/dispatcher/dispatcher.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {

ReceiveCall::ReceiveCall(const std::filesystem::path& device, const std::filesystem::path& folder,
                         const std::filesystem::path& history)
    : history_(history) {
  InstallHeadlessMessagePump();
  SetPortDeviceResolver([device](int n) { return n == 1 ? device.string() : std::string(); });
  std::filesystem::create_directories(folder);
  port.SetComNumber(1);
  port.SetAutoOpen(false);
  fax.SetComPort(&port);
  port.SetOpen(true);
  log.SetFaxHistoryName(history.string());
  fax.SetFaxLog(&log);
  fax.SetDestinationDir(folder.string());
}

ReceiveCall::~ReceiveCall() {
  fax.SetFaxLog(nullptr);
  port.SetOpen(false);
}

ReceiveRun ReceiveCall::Run(double seconds, const std::function<bool(const ReceiveRun&)>& enough,
                            const std::function<void()>& tick) {
  ReceiveRun r;
  fax.OnFaxError = [&](TCustomAbstractFax&, int code) { r.errors.push_back(code); };
  fax.OnFaxLog = [&](TCustomAbstractFax&, TFaxLogCode code) {
    r.logs.push_back(code);
    if (code == lfaxReceiveOk) {
      r.kept.push_back(fax.FaxFile());
      r.remoteIds.push_back(fax.RemoteID());
    }
    if (code == lfaxReceiveFail) {
      r.failed.push_back(fax.FaxFile());
      ApfFileHeader header;
      r.failedPageCounts.push_back(ReadApfFileHeader(fax.FaxFile(), header) == 0 ? header.PageCount : -1);
      std::error_code ec;
      std::filesystem::remove(fax.FaxFile(), ec);
    }
  };
  fax.OnFaxFinish = [&](TCustomAbstractFax&, int code) {
    r.finished = true;
    r.finishCode = code;
  };
  fax.StartReceive();
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto nextTick = std::chrono::steady_clock::now();
  bool cancelled = false;
  while (!r.finished && std::chrono::steady_clock::now() < end) {
    WaitForMessages(20);
    DispatchPendingMessages();
    if (!cancelled && enough && enough(r)) {
      cancelled = true;
      fax.CancelFax();
    }
    if (tick && std::chrono::steady_clock::now() >= nextTick) {
      tick();
      nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    }
  }
  if (!r.finished) {
    fax.CancelFax();
    for (int i = 0; i < 500 && !r.finished; ++i) {
      WaitForMessages(20);
      DispatchPendingMessages();
    }
  }
  const int handle = port.PortHandle();
  void* slot = nullptr;
  GetUserSlot(handle, 2, slot);
  r.portReleased = ProtocolActive(handle) == 0 && slot == nullptr;
  return r;
}

std::string ReceiveCall::History() const { return ReadFile(history_); }

}  // namespace ql::testing
