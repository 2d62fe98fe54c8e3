// fax_receive_bench: a remote fax machine of the virtual line sends to the receive
// component at 14400 bit/s (one page, then three), as a user's modem would be called.
//  1. CPU the receiving process used over the call, as a share of one core (target:
//     under 1 %), and per page.
//  2. The time from the far machine's last frame (its EOP, as the session log has it
//     arrive) to the fax being complete and listed (the log event that adds it to the
//     received list; target: under 200 ms).

#include <time.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "fax_engine/tests/interop/fax_line.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "fax_engine/tests/interop/receive_call.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace ql;
using namespace ql::testing;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The time of the session log's line holding `what`, in ms since the epoch.
double LoggedAt(const std::string& log, const std::string& what) {
  const size_t at = log.rfind(what);
  if (at == std::string::npos) return -1;
  const size_t start = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
  std::tm tm{};
  int ms = 0;
  if (std::sscanf(log.c_str() + start, "%d-%d-%d %d:%d:%d.%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec, &ms) != 7)
    return -1;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm)) * 1000.0 + ms;
}

void Measure(int pages) {
  TempDir dir;
  FaxLine line(dir / "vline", {"ttyFAX0=100"}, {"200"});
  ReceiveCall call(line.Link("ttyFAX0"), dir / "in", dir / "FAXLOG.HIS");
  call.fax.SetFaxClass(fcClass1);
  call.fax.SetDesiredBPS(14400);
  call.fax.SetSessionLogName((dir / "session.log").string());
  call.fax.SetOneFax(true);
  const auto apf = WriteLetter(dir.path(), "letter", {pages, 40, false, false});
  const auto tiff = dir / "letter.tif";
  WriteTiffPages(tiff, DecodeApf(apf), false);

  bool sent = false;
  double cpuStart = 0, wallStart = 0, listedAt = -1;
  call.fax.OnFaxStatus = [&](TCustomAbstractFax&, bool, bool) {};
  const ReceiveRun r = call.Run(
      600, [&](const ReceiveRun& run) {
        if (listedAt < 0 && !run.kept.empty()) listedAt = NowMs();
        return false;
      },
      [&] {
        if (!sent && call.fax.FaxProgress() == 20) {
          sent = true;
          cpuStart = CpuSeconds();
          wallStart = NowMs();
          line.Control("send 100 " + tiff.string() + " BENCH SENDER");
        }
      });
  const double cpu = CpuSeconds() - cpuStart;
  const double wall = (NowMs() - wallStart) / 1000.0;
  if (r.kept.empty()) {
    std::printf("%d page(s): not received (finish %d)\n", pages, r.finishCode);
    return;
  }
  const std::string log = ReadFile(dir / "session.log");
  const double lastFrame = LoggedAt(log, "<= EOP");
  const double latency = listedAt - lastFrame;
  std::printf("%d page(s) at %d bit/s: call %.1f s, CPU %.3f s = %.2f %% of a core (target 1 %%: ratio %.2f), "
              "%.1f ms CPU a page\n",
              pages, call.fax.SessionBPS(), wall, cpu, 100.0 * cpu / wall, (100.0 * cpu / wall) / 1.0,
              1000.0 * cpu / pages);
  std::printf("%d page(s): last frame (EOP) to the fax complete and listed: %.0f ms (target 200 ms: ratio %.2f)\n",
              pages, latency, latency / 200.0);
}

}  // namespace

int main() {
  Measure(1);
  Measure(3);
  return 0;
}
