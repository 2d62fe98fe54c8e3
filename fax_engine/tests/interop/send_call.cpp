#include "fax_engine/tests/interop/send_call.h"

#include <chrono>
#include <memory>

#include "platform/message_windows/message_window.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/dispatcher/dispatcher.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {

SendCall::SendCall(const std::filesystem::path& device, const std::filesystem::path& history) : history_(history) {
  InstallHeadlessMessagePump();
  SetPortDeviceResolver([device](int n) { return n == 1 ? device.string() : std::string(); });
  port.SetComNumber(1);
  port.SetAutoOpen(false);
  fax.SetComPort(&port);
  port.SetOpen(true);
  log.SetFaxHistoryName(history.string());
  fax.SetFaxLog(&log);
}

SendCall::~SendCall() {
  fax.SetFaxLog(nullptr);
  port.SetOpen(false);
}

RunResult SendCall::Run(double seconds, const std::function<void(SendCall&)>& tick) {
  RunResult r;
  fax.OnFaxError = [&](TCustomAbstractFax&, int code) { r.errors.push_back(code); };
  fax.OnFaxLog = [&](TCustomAbstractFax&, TFaxLogCode code) { r.logs.push_back(code); };
  fax.OnFaxStatus = [&](TCustomAbstractFax& f, bool, bool) { r.progress.push_back(f.FaxProgress()); };
  fax.OnFaxFinish = [&](TCustomAbstractFax&, int code) {
    r.finished = true;
    r.finishCode = code;
  };
  fax.StartTransmit();
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto nextTick = std::chrono::steady_clock::now();
  while (!r.finished && std::chrono::steady_clock::now() < end) {
    WaitForMessages(20);
    DispatchPendingMessages();
    if (tick && std::chrono::steady_clock::now() >= nextTick) {
      tick(*this);
      nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    }
  }
  if (!r.finished) {
    fax.CancelFax();
    for (int i = 0; i < 200 && !r.finished; ++i) {
      WaitForMessages(20);
      DispatchPendingMessages();
    }
  }
  // The events wrote into this run's result: later messages must not reach it.
  fax.OnFaxError = nullptr;
  fax.OnFaxLog = nullptr;
  fax.OnFaxStatus = nullptr;
  fax.OnFaxFinish = nullptr;
  const int handle = port.PortHandle();
  void* slot = nullptr;
  GetUserSlot(handle, 2, slot);
  r.portReleased = ProtocolActive(handle) == 0 && slot == nullptr;
  return r;
}

void SendCall::Series(std::vector<std::vector<std::string>> faxes) {
  auto queue = std::make_shared<std::vector<std::vector<std::string>>>(std::move(faxes));
  fax.OnFaxNext = [queue](TCustomAbstractFax&, std::string& number, std::string& file, std::string& cover) {
    if (queue->empty()) return;
    const auto next = queue->front();
    queue->erase(queue->begin());
    number = next.at(0);
    file = next.size() > 1 ? next[1] : "";
    cover = next.size() > 2 ? next[2] : "";
  };
}

std::string SendCall::History() const { return ReadFile(history_); }

}  // namespace ql::testing
