// Benchmarks of the fax document core, side by side with libtiff's Group 3 codec:
//   coding and decoding three 1728 x 2200 pages (text, dithered photograph, blank),
//   converting a 100-page text file, and the peak memory of unpacking the photograph.
// Rates are reported as items_per_second = pixels per second.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <memory>
#include <string>

#include "fax_document/apf/apf_file.h"
#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/reference/libtiff_codec.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/sources/text_source.h"
#include "fax_document/unpack/unpacker_core.h"

namespace {

using ql::reference::Raster;

constexpr int kWidth = 1728;
constexpr int kRows = 2200;

const Raster& Page(int kind) {
  static const Raster text = ql::reference::TextPage(kWidth, kRows);
  static const Raster photo = ql::reference::DitheredPhoto(kWidth, kRows);
  static const Raster blank = ql::reference::BlankPage(kWidth, kRows);
  return kind == 0 ? text : kind == 1 ? photo : blank;
}

const char* kNames[] = {"text", "photo", "blank"};

std::filesystem::path Scratch(const std::string& name) { return std::filesystem::temp_directory_path() / name; }

// The page as an APF file written by our converter (margin 0, no layout options).
std::filesystem::path PageFile(int kind) {
  const auto path = Scratch(std::string("qlbench-") + kNames[kind] + ".APF");
  ql::TMonoBitmap bitmap(kWidth, kRows, false);
  for (int y = 0; y < kRows; ++y) std::copy(Page(kind)[y].begin(), Page(kind)[y].end(), bitmap.Row(y));
  ql::ConverterCore core(std::make_unique<ql::BitmapSource>(&bitmap));
  core.SetOptions(0);
  core.SetMargins(0, 0);
  core.ConvertToFile("page", path);
  return path;
}

void SetRate(benchmark::State& state, int kind) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kRows);
  state.SetLabel(kNames[kind]);
}

void OursCode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  ql::ConverterCore core;
  core.SetOptions(0);
  core.SetMargins(0, 0);
  std::vector<uint8_t> out;
  out.reserve(4 << 20);
  for (auto _ : state) {
    out.clear();
    for (const auto& row : Page(kind)) {
      const unsigned n = core.CodeRasterLine(row.data());
      out.insert(out.end(), core.CodedLine(), core.CodedLine() + n);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
  SetRate(state, kind);
}

void LibtiffCode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  std::vector<uint8_t> t4;
  for (auto _ : state) {
    ql::reference::EncodeG3(Page(kind), kWidth, t4);
    benchmark::DoNotOptimize(t4.data());
  }
  state.counters["bytes"] = static_cast<double>(t4.size());
  SetRate(state, kind);
}

void OursDecode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto file = PageFile(kind);
  uint64_t checksum = 0;
  ql::UnpackerCore core([&](bool, bool, const uint8_t* data, unsigned length, unsigned) {
    if (data != nullptr && length > 0) checksum += data[length / 2];
    return 0;
  });
  core.UnpackFlags = 0;
  for (auto _ : state) {
    if (core.UnpackPage(file, 1) < 0) state.SkipWithError("unpack failed");
  }
  benchmark::DoNotOptimize(checksum);
  std::filesystem::remove(file);
  SetRate(state, kind);
}

void LibtiffDecode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  std::vector<uint8_t> t4;
  ql::reference::EncodeG3(Page(kind), kWidth, t4);
  Raster rows;
  for (auto _ : state) {
    if (!ql::reference::DecodeG3(t4, kWidth, kRows, rows)) state.SkipWithError("libtiff failed");
    benchmark::DoNotOptimize(rows.data());
  }
  SetRate(state, kind);
}

// Converting a text file of 100 pages of 60 lines (standard font, standard resolution).
void TextPages(benchmark::State& state) {
  const auto text = Scratch("qlbench-100.TXT");
  {
    std::ofstream out(text);
    for (int line = 0; line < 100 * 60; ++line)
      out << "Line " << line << ": the quick brown fox jumps over the lazy dog, 0123456789.\n";
  }
  for (auto _ : state) {
    ql::ConverterCore core(std::make_unique<ql::TextSource>());
    static_cast<ql::TextSource*>(core.Source())->SetLinesPerPage(60);
    if (core.ConvertToFile(text, Scratch("qlbench-100.APF")) < 0) state.SkipWithError("convert failed");
  }
  state.counters["pages/s"] = benchmark::Counter(100.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(text);
  std::filesystem::remove(Scratch("qlbench-100.APF"));
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return 0;
}

// Peak memory added by unpacking the photograph page into a bitmap.
void UnpackPhotoMemory(benchmark::State& state) {
  const auto file = PageFile(1);
  long added = 0;
  for (auto _ : state) {
    malloc_trim(0);  // give freed memory back, so that the peak shows this unpacking alone
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
    const long before = StatusKb("VmRSS:");
    {
      ql::UnpackerCore core;
      ql::TMonoBitmap bitmap;
      core.UnpackPageToBitmap(file, 1, true, bitmap);
      benchmark::DoNotOptimize(bitmap.Bits().data());
    }
    added = std::max(added, StatusKb("VmHWM:") - before);
  }
  state.counters["peak_kB"] = static_cast<double>(added);
  std::filesystem::remove(file);
}

BENCHMARK(OursCode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(LibtiffCode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDecode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(LibtiffDecode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(TextPages)->Unit(benchmark::kMillisecond);
BENCHMARK(UnpackPhotoMemory)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
