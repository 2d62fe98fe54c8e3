// Serial benchmarks on pseudo-terminals:
//   idle [seconds]   CPU time of one open port with a timer trigger (target <= 0.5 % of a core)
//   throughput       8 MB each way through the dispatcher, beside a raw copy through the
//                    same kind of pseudo-terminal pair, checked byte for byte
//   latency          bytes arriving on the device to a procedure handler running
// With no argument all three run (idle for 20 s).

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "serial/device/device_layer.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"
#include "serial/testing/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
using ql::testing::PtyPair;

double CpuSeconds() {
  rusage r {};
  getrusage(RUSAGE_SELF, &r);
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

int OpenOn(PtyPair& pty, int size) {
  int port = 0;
  if (ql::OpenPort(port, pty.path(), size, size, 8, 1, 0, 115200) != 0) {
    std::fprintf(stderr, "cannot open %s\n", pty.path().c_str());
    std::exit(1);
  }
  pty.CloseSlave();
  return port;
}

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  uint32_t x = 12345;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// ---- idle ----

std::atomic<int> gIdlePort{0};
std::atomic<int> gTimerFires{0};

void IdleHandler(uintptr_t, uint32_t msg, uintptr_t wParam, intptr_t) {
  if ((msg & 0xFFFF) == ql::kMsgTriggerTimer) {
    ++gTimerFires;
    ql::ArmTimerTrigger(gIdlePort, static_cast<int>(wParam), 0, true);
  }
}

void Idle(int seconds) {
  PtyPair pty;
  const int port = OpenOn(pty, 8192);
  gIdlePort = port;
  const int timer = ql::NewTimerTrigger(port);
  ql::AttachHandler(port, 0, IdleHandler, true);
  ql::ArmTimerTrigger(port, timer, 18, true);  // about once a second
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  ql::ClosePort(port);
  std::printf("idle: %d s, CPU %.4f s = %.3f %% of one core (target <= 0.5 %%), timer fired %d times\n", seconds, cpu,
              100.0 * cpu / wall, gTimerFires.load());
}

// ---- throughput ----

constexpr std::size_t kBytes = 8u << 20;

std::atomic<int> gInPort{0};
std::string gReceived;  // filled on the dispatch thread; read after the port closes
std::atomic<std::size_t> gReceivedCount{0};

void ReceiveHandler(uintptr_t, uint32_t msg, uintptr_t, intptr_t) {
  if ((msg & 0xFFFF) != ql::kMsgTriggerAvail) return;
  for (int c; (c = ql::ReadChar(gInPort)) >= 0;) gReceived += static_cast<char>(c);
  gReceivedCount = gReceived.size();
}

// Both directions at once through the dispatcher; returns seconds.
double DispatcherRun(const std::string& out, const std::string& in, bool& ok) {
  PtyPair pty;
  const int port = OpenOn(pty, 8192);
  gInPort = port;
  gReceived.clear();
  gReceived.reserve(in.size());
  gReceivedCount = 0;
  ql::SetAvailThreshold(port, 1);
  ql::AttachHandler(port, 0, ReceiveHandler, true);
  const auto t0 = Clock::now();
  std::string echoed;
  std::thread far([&] {  // the other end: sends `in`, collects what the port writes
    std::size_t sent = 0;
    echoed.reserve(out.size());
    while (sent < in.size() || echoed.size() < out.size()) {
      pollfd p {pty.master(), short(POLLIN | (sent < in.size() ? POLLOUT : 0)), 0};
      ::poll(&p, 1, 100);
      if ((p.revents & POLLOUT) && sent < in.size()) {
        const ssize_t n = ::write(pty.master(), in.data() + sent, std::min<std::size_t>(4096, in.size() - sent));
        if (n > 0) sent += std::size_t(n);
      }
      if (p.revents & POLLIN) {
        char buf[65536];
        const ssize_t r = ::read(pty.master(), buf, sizeof buf);
        if (r > 0) echoed.append(buf, std::size_t(r));
      }
    }
  });
  std::size_t written = 0;
  while (written < out.size()) {
    const int free = ql::OutFree(port);
    const int n = std::min<int>(free, int(out.size() - written));
    if (n > 0 && ql::WriteBlock(port, reinterpret_cast<const uint8_t*>(out.data() + written), n) == 0) {
      written += std::size_t(n);
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  far.join();
  const auto wait0 = Clock::now();
  while (gReceivedCount < in.size() && Clock::now() - wait0 < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  ql::ClosePort(port);
  ok = echoed == out && gReceived == in;
  return seconds;
}

// The same traffic copied directly between the two ends of a pseudo-terminal pair.
double RawRun(const std::string& out, const std::string& in, bool& ok) {
  PtyPair pty;
  const int slave = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  pty.CloseSlave();
  std::string atFar, atNear;
  const auto t0 = Clock::now();
  std::size_t sentNear = 0, sentFar = 0;
  char buf[65536];
  while (atFar.size() < out.size() || atNear.size() < in.size()) {
    if (sentNear < out.size()) {
      const ssize_t n = ::write(slave, out.data() + sentNear, std::min<std::size_t>(4096, out.size() - sentNear));
      if (n > 0) sentNear += std::size_t(n);
    }
    if (sentFar < in.size()) {
      const ssize_t n = ::write(pty.master(), in.data() + sentFar, std::min<std::size_t>(4096, in.size() - sentFar));
      if (n > 0) sentFar += std::size_t(n);
    }
    ssize_t r = ::read(pty.master(), buf, sizeof buf);
    if (r > 0) atFar.append(buf, std::size_t(r));
    r = ::read(slave, buf, sizeof buf);
    if (r > 0) atNear.append(buf, std::size_t(r));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  ok = atFar == out && atNear == in;
  ::close(slave);
  return seconds;
}

void Throughput() {
  std::string out = Pattern(kBytes), in = Pattern(kBytes + 1).substr(1);
  if (getenv("ONLY_IN")) out.clear();
  if (getenv("ONLY_OUT")) in.clear();
  bool okRaw = false, okDispatcher = false;
  const double raw = RawRun(out, in, okRaw);
  const double dispatcher = DispatcherRun(out, in, okDispatcher);
  const double mb = double(out.size() + in.size()) / 1e6;
  std::printf("throughput: %.1f MB in all; dispatcher %.1f MB/s (%s), raw pseudo-terminal copy %.1f MB/s (%s); ratio %.2f\n",
              mb, mb / dispatcher, okDispatcher ? "all bytes in order" : "DATA MISMATCH", mb / raw,
              okRaw ? "all bytes in order" : "DATA MISMATCH", raw / dispatcher);
}

// ---- latency ----

std::atomic<int64_t> gHandlerNanos{0};
std::atomic<int> gLatencyPort{0};

void LatencyHandler(uintptr_t, uint32_t msg, uintptr_t, intptr_t) {
  if ((msg & 0xFFFF) != ql::kMsgTriggerAvail) return;
  gHandlerNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  ql::FlushInput(gLatencyPort);
}

// Sorted delays in milliseconds from `send` to the moment `arrived` reports a time.
template <typename Send, typename Arrived>
std::vector<double> Delays(Send send, Arrived arrived) {
  std::vector<double> ms;
  for (int i = 0; i < 1000; ++i) {
    const auto sent = Clock::now();
    send();
    int64_t at;
    while ((at = arrived()) == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    ms.push_back(double(at - std::chrono::duration_cast<std::chrono::nanoseconds>(sent.time_since_epoch()).count()) / 1e6);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::sort(ms.begin(), ms.end());
  return ms;
}

void Latency() {
  // Through the dispatcher: the procedure handler notes the time.
  PtyPair pty;
  const int port = OpenOn(pty, 8192);
  gLatencyPort = port;
  ql::SetAvailThreshold(port, 1);
  ql::AttachHandler(port, 0, LatencyHandler, true);
  const std::vector<double> ms = Delays([&] {
    gHandlerNanos = 0;
    pty.Send("x");
  }, [] { return gHandlerNanos.load(); });
  ql::ClosePort(port);

  // The reference: a thread blocked in poll() on the terminal itself.
  PtyPair raw;
  const int slave = ::open(raw.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  raw.CloseSlave();
  std::atomic<int64_t> rawNanos{0};
  std::atomic<bool> stop{false};
  std::thread waiter([&] {
    while (!stop) {
      pollfd p {slave, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char c;
      while (::read(slave, &c, 1) == 1) {
      }
      rawNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    }
  });
  const std::vector<double> rawMs = Delays([&] {
    rawNanos = 0;
    raw.Send("x");
  }, [&] { return rawNanos.load(); });
  stop = true;
  waiter.join();
  ::close(slave);
  std::printf("latency: 1000 arrivals; to a procedure handler median %.3f ms, 99th percentile %.3f ms (target <= 5 ms), "
              "worst %.3f ms; a thread polling the terminal itself: median %.3f ms, 99th percentile %.3f ms\n",
              ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(), rawMs[rawMs.size() / 2],
              rawMs[rawMs.size() * 99 / 100]);
}

}  // namespace

int main(int argc, char** argv) {
  ql::InstallTermiosLayer();
  ql::SetLockDirectory("/tmp");
  const std::string what = argc > 1 ? argv[1] : "all";
  if (what == "idle" || what == "all") Idle(argc > 2 ? std::max(1, std::atoi(argv[2])) : 20);
  if (what == "throughput" || what == "all") Throughput();
  if (what == "latency" || what == "all") Latency();
  return 0;
}
