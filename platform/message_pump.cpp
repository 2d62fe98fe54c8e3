#include "platform/message_pump.h"

#include <mutex>
#include <utility>

namespace ql {

namespace {
std::mutex gPumpMutex;
std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void ProcessPendingMessages() {
  std::function<void()> pump;
  {
    std::lock_guard lock(gPumpMutex);
    pump = Pump();
  }
  if (pump) pump();
}

std::function<void()> SetMessagePump(std::function<void()> pump) {
  std::lock_guard lock(gPumpMutex);
  return std::exchange(Pump(), std::move(pump));
}

}  // namespace ql
