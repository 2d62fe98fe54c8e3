// qlvmodem_bench: what a virtual fax call costs.
//  1. A one-page fax at 14400 bit/s between two virtual remotes, unpaced: its line time
//     against the line-rate minimum (page bits / 14400 plus the nominal T.30 phases),
//     and the CPU it used per second of line time.
//  2. The same call paced in real time for a while: CPU used as a share of one core.

#include <tiffio.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/tests/g3_page.h"
#include "tools/qlvmodem/virtual_line.h"

namespace {

using ql::vmodem::LineConfig;
using ql::vmodem::RecordField;
using ql::vmodem::VirtualLine;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// A text-like page: 1728 x 2200 rows at 196 dpi, G3 1-D.
void WritePage(const std::filesystem::path& path) {
  const int rows = 2200;
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  unsigned seed = 1;
  ql::vmodem::testing::WriteG3Page(tif, rows, 196, [&seed, rows](int y, std::vector<uint8_t>& row) {
    // Lines of "characters": 24 rows of glyph-like strokes, 8 blank rows between.
    if (y % 32 < 24 && y > 100 && y < rows - 100) {
      for (size_t x = 12; x < 204; ++x) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 9 == 0) row[x] = 0x3C;  // short vertical strokes
      }
    }
  });
  TIFFClose(tif);
}

// Compressed page size of the received TIFF, in bits (what crossed the line).
double PageBits(const std::string& tiff) {
  TIFF* tif = TIFFOpen(tiff.c_str(), "r");
  if (tif == nullptr) return 0;
  double bytes = 0;
  uint64_t* counts = nullptr;
  if (TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) != 0)
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s) bytes += static_cast<double>(counts[s]);
  TIFFClose(tif);
  return bytes * 8;
}

// Nominal T.30 phases of a one-page non-ECM call at 14400 bit/s (V.17, V.21 at 300 bit/s,
// 1 s of flags before each V.21 message, 75 ms gaps): answer tone, CSI+DIS, TSI+DCS,
// training check with V.17 long training, CFR, page (short) training, EOP, MCF, DCN.
// The page bits are the received TIFF's compressed size, which may differ by a few per
// cent from what the sender coded.
double NominalPhases() {
  auto v21 = [](int frameBytes) { return 1.0 + frameBytes * 8 / 300.0 + 0.075; };
  double answerTone = 0.2 + 2.6 + 0.075;
  double csiDis = v21(2 + 1 + 20 + 2 + 2) + (2 + 1 + 10 + 2 + 2) * 8 / 300.0;
  double tsiDcs = v21(2 + 1 + 20 + 2 + 2) + (2 + 1 + 6 + 2 + 2) * 8 / 300.0;
  double tcf = 1.393 + 1.5 + 0.075;
  double cfr = v21(5);
  double pageTraining = 0.142;  // V.17 short training after a good check
  double eop = v21(5), mcf = v21(5), dcn = v21(5);
  return answerTone + csiDis + tsiDcs + tcf + cfr + pageTraining + eop + mcf + dcn;
}

}  // namespace

int main() {
  auto dir = std::filesystem::temp_directory_path() / ("qlvmodem-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto page = dir / "page.tif";
  WritePage(page);

  // 1. Unpaced.
  {
    std::string error;
    auto config = ql::vmodem::ParseLineArguments({"--remote", "200", "--speed", "max"}, dir / "fast", &error);
    config->controlSocket = false;
    VirtualLine line(*config);
    double cpu0 = CpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    line.Command("send 200 " + page.string());
    std::string record;
    for (int i = 0; i < 200 * 50 * 10; ++i) {
      line.Step();
      if (i % 50 == 0 && line.Command("received 901").find("OK 1 sessions") != std::string::npos) break;
    }
    double cpu = CpuSeconds() - cpu0;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    std::string sent = line.Command("received 901");
    std::string got = line.Command("received 200");
    double lineSeconds = std::stod("0" + RecordField(sent, "line_seconds"));
    double bits = PageBits(RecordField(got, "tiff"));
    double minimum = bits / 14400 + NominalPhases();
    std::printf("one-page fax, remote to remote, unpaced: result %s, %s pages, %s bit/s\n",
                RecordField(sent, "result_text").c_str(), RecordField(sent, "pages").c_str(), RecordField(sent, "bit_rate").c_str());
    std::printf("  page data %.0f bits = %.2f s at 14400; nominal T.30 phases %.2f s; line-rate minimum %.2f s\n",
                bits, bits / 14400, NominalPhases(), minimum);
    std::printf("  line time of the call %.2f s = %.3f x the minimum\n", lineSeconds, lineSeconds / minimum);
    std::printf("  wall %.3f s (%.0f x real time), CPU %.3f s = %.2f %% of one core per second of line time\n",
                wall, lineSeconds / wall, cpu, 100.0 * cpu / lineSeconds);
  }

  // 2. Real time, 12 s of the same call.
  {
    std::string error;
    auto config = ql::vmodem::ParseLineArguments({"--remote", "200"}, dir / "paced", &error);
    config->controlSocket = false;
    VirtualLine line(*config);
    line.Command("send 200 " + page.string());
    double cpu0 = CpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    std::thread runner([&line] { line.Run(); });
    std::this_thread::sleep_for(std::chrono::seconds(12));
    line.Stop();
    runner.join();
    double cpu = CpuSeconds() - cpu0;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    std::printf("the same call in real time for %.1f s: CPU %.3f s = %.2f %% of one core (target at most 20 %%)\n",
                wall, cpu, 100.0 * cpu / wall);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
