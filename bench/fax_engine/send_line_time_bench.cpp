// fax_engine_bench: the line time of a three-page standard-resolution fax at 14400 bit/s
// to the virtual line's remote fax machine, sent three ways in one run:
//   1. by the engine (TSendFax on a virtual Class 1 modem),
//   2. by efax through the same kind of virtual modem,
//   3. by a spandsp remote calling the remote (no program, no modem),
// each against the line-rate minimum: the page bits at 14400 bit/s plus the nominal T.30
// phases. The line time is what the answering remote counts from answer to the end of
// its session. The CPU of the engine's call and of efax's is given too.
//
//   fax_engine_bench [RUNS [KEEP_DIR]]
// RUNS (default 1) repeats the three calls and reports each run and the mean; with
// KEEP_DIR the virtual line's call traces, the engine's session log and efax's verbose
// log of every run are kept there, to see where a call spends its time.

#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fax_document/convert/converter_core.h"
#include "fax_engine/tests/interop/fax_line.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "fax_engine/tests/interop/send_call.h"

namespace {

using namespace ql::testing;

constexpr const char* kHeader = "QUILLET BENCH  Page $P of $N";

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The bits the pages need as one-dimensional T.4 lines (EOL before each, RTC after),
// as the engine codes them, without any fill.
double PageBits(const std::vector<Raster>& pages) {
  ql::ConverterCore core;
  core.SetMargins(0, 0);
  double bits = 0;
  for (const Raster& page : pages) {
    for (const auto& row : page) bits += 8.0 * core.CodeRasterLine(row.data());
    bits += 12 * 8;  // the end-of-page codes
  }
  return bits;
}

// Nominal T.30 phases of a non-ECM call at 14400 bit/s (V.17; V.21 at 300 bit/s with 1 s
// of flags before each message and 75 ms gaps): answer tone, CSI+DIS, TSI+DCS, training
// check with V.17 long training, CFR, and per page its short training, MPS or EOP and
// MCF; then DCN.
double NominalPhases(int pages) {
  auto v21 = [](int frameBytes) { return 1.0 + frameBytes * 8 / 300.0 + 0.075; };
  const double answerTone = 0.2 + 2.6 + 0.075;
  const double csiDis = v21(2 + 1 + 20 + 2 + 2) + (2 + 1 + 10 + 2 + 2) * 8 / 300.0;
  const double tsiDcs = v21(2 + 1 + 20 + 2 + 2) + (2 + 1 + 6 + 2 + 2) * 8 / 300.0;
  const double tcf = 1.393 + 1.5 + 0.075;
  const double cfr = v21(5);
  const double perPage = 0.142 + v21(5) + v21(5);
  return answerTone + csiDis + tsiDcs + tcf + cfr + pages * perPage + v21(5);
}

// One G3 TIFF of the given pages (efax takes one a page; the remote takes them all).
void WriteTiff(const std::filesystem::path& path, const std::vector<Raster>& pages) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  for (size_t p = 0; p < pages.size(); ++p) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1728u);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(pages[p].size()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0f);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 98.0f);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(pages[p].size()));
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p), static_cast<uint16_t>(pages.size()));
    for (size_t y = 0; y < pages[p].size(); ++y) {
      std::vector<uint8_t> row = pages[p][y];
      TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y));
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
}

double LastLineSeconds(const FaxLine& line) {
  const auto records = line.Records("200");
  if (records.empty()) return 0;
  auto record = records.back();
  std::printf("    far side: %s page(s), %s bit/s, result %s\n", record["pages"].c_str(), record["bit_rate"].c_str(),
              record["result_text"].c_str());
  return std::stod("0" + record["line_seconds"]);
}

void Report(const char* who, double lineSeconds, double minimum) {
  std::printf("  %-34s line time %6.2f s = %.3f x the minimum\n", who, lineSeconds, lineSeconds / minimum);
}

struct Figures {
  double engine = 0, efax = 0, remote = 0, engineCpu = 0, engineWall = 0, efaxCpu = 0;
};

// The three calls of one run; with `keep` set their traces and logs stay there.
Figures RunOnce(const std::filesystem::path& dir, const std::filesystem::path& apf, const std::vector<Raster>& pages,
                const std::filesystem::path& keep) {
  Figures f;
  auto traced = [&](const char* who) {
    if (keep.empty()) return std::vector<std::string>{};
    std::filesystem::create_directories(keep / who);
    return std::vector<std::string>{"--trace-dir", (keep / who).string()};
  };

  // 1. The engine.
  {
    FaxLine line(dir / "engine", {"ttyFAX0=100"}, {"200:BENCH REMOTE"}, traced("engine"));
    SendCall call(line.Link("ttyFAX0"), dir / "FAXLOG.HIS");
    call.fax.SetFaxClass(ql::fcClass1);
    call.fax.SetDesiredBPS(14400);
    call.fax.SetStationID("QUILLET BENCH");
    call.fax.SetHeaderLine(kHeader);
    call.fax.SetPhoneNumber("200");
    call.fax.SetFaxFile(apf.string());
    if (!keep.empty()) call.fax.SetSessionLogName((keep / "engine" / "session.log").string());
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto wall0 = std::chrono::steady_clock::now();
    const RunResult r = call.Run(300);
    f.engineWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    f.engineCpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    std::printf("  the engine: finish code %d\n", r.finishCode);
    f.engine = LastLineSeconds(line);
    if (!keep.empty()) std::filesystem::copy_file(dir / "engine" / "calls.log", keep / "engine" / "calls.log",
                                                  std::filesystem::copy_options::overwrite_existing);
  }

  // 2. efax through the same kind of virtual modem.
  {
    FaxLine line(dir / "efax", {"ttyFAX0=100"}, {"200:BENCH REMOTE"}, traced("efax"));
    std::vector<std::string> args = {"/usr/bin/efax", "-d", line.Link("ttyFAX0").string(), "-o1", "-l", "EFAX BENCH"};
    if (!keep.empty()) args.insert(args.end(), {"-v", "ewinchm"});
    args.insert(args.end(), {"-t", "200"});
    for (size_t p = 0; p < pages.size(); ++p) {
      const auto file = dir / ("page" + std::to_string(p + 1) + ".tif");
      WriteTiff(file, {pages[p]});
      args.push_back(file.string());
    }
    const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const pid_t pid = Spawn(args, keep.empty() ? dir / "efax.log" : keep / "efax" / "efax.log");
    const int status = WaitForExit(pid, 300);
    f.efaxCpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;  // efax and the control commands
    std::printf("  efax: exit status %d\n", status);
    f.efax = LastLineSeconds(line);
    if (!keep.empty()) std::filesystem::copy_file(dir / "efax" / "calls.log", keep / "efax" / "calls.log",
                                                  std::filesystem::copy_options::overwrite_existing);
  }

  // 3. A spandsp remote calling the remote.
  {
    FaxLine line(dir / "remote", {}, {"200:BENCH REMOTE"});
    const auto file = dir / "pages.tif";
    WriteTiff(file, pages);
    line.Control("send 200 " + file.string() + " SPANDSP BENCH");
    for (int i = 0; i < 3000 && line.Records("200").empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::printf("  spandsp remote:\n");
    f.remote = LastLineSeconds(line);
  }
  std::filesystem::remove_all(dir / "engine");
  std::filesystem::remove_all(dir / "efax");
  std::filesystem::remove_all(dir / "remote");
  return f;
}

void ReportFigures(const char* title, const Figures& f, double minimum) {
  std::printf("%s (line time counted by the answering remote):\n", title);
  Report("the engine (Class 1, qlvmodem modem)", f.engine, minimum);
  Report("efax (Class 1, qlvmodem modem)", f.efax, minimum);
  Report("spandsp remote calling the remote", f.remote, minimum);
  std::printf("  the engine / efax = %.3f (target at most 1); the engine / minimum = %.3f (target at most 1.3)\n",
              f.engine / f.efax, f.engine / minimum);
  std::printf("  CPU: the engine %.2f s over a %.1f s call = %.2f %% of one core; efax %.2f s\n", f.engineCpu,
              f.engineWall, 100.0 * f.engineCpu / f.engineWall, f.efaxCpu);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  const std::filesystem::path keepRoot = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::path();
  const auto dir = std::filesystem::temp_directory_path() / ("fax-engine-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto apf = WriteLetter(dir, "letter", {3, 40, false, false});
  const std::vector<Raster> sent = DecodeApf(apf);
  std::vector<Raster> pages;
  for (size_t p = 0; p < sent.size(); ++p) {
    const std::string header = "QUILLET BENCH  Page " + std::to_string(p + 1) + " of " + std::to_string(sent.size());
    pages.push_back(ExpectedPage(sent[p], header, false, 1728));
  }
  const double bits = PageBits(pages);
  const double minimum = bits / 14400 + NominalPhases(static_cast<int>(pages.size()));
  std::printf("three-page standard-resolution fax at 14400 bit/s to the virtual remote\n");
  std::printf("  page data %.0f bits = %.2f s at 14400; nominal T.30 phases %.2f s; line-rate minimum %.2f s\n", bits,
              bits / 14400, NominalPhases(3), minimum);

  Figures sum;
  for (int run = 1; run <= runs; ++run) {
    const auto keep = keepRoot.empty() ? keepRoot : keepRoot / ("run" + std::to_string(run));
    const Figures f = RunOnce(dir, apf, pages, keep);
    ReportFigures(("run " + std::to_string(run) + " of " + std::to_string(runs)).c_str(), f, minimum);
    sum.engine += f.engine / runs;
    sum.efax += f.efax / runs;
    sum.remote += f.remote / runs;
    sum.engineCpu += f.engineCpu / runs;
    sum.engineWall += f.engineWall / runs;
    sum.efaxCpu += f.efaxCpu / runs;
  }
  if (runs > 1) ReportFigures("mean of the runs", sum, minimum);
  std::filesystem::remove_all(dir);
  return 0;
}
