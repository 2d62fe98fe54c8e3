// Text to fax, side by side with efax's converter efix: the same 100-page text file
// (6000 lines) is converted by our converter component (as qlfax convert and the fax
// desk use it) and by `efix -i text -o tiffg3`, at fine and at standard resolution,
// alternating in rounds so that both see the same machine load. Reports the median time,
// the scan lines each one made and the scan lines per second, and ours / efix.
//
//   bench_text_to_fax [ROUNDS]       (default 9; needs efix on the PATH)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fax_document/apf/apf_file.h"
#include "fax_document/components/fax_converter.h"
#include "bench/bench_timing.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using bench::Median;
using bench::Seconds;

struct Side {
  double seconds = 0;  // median of the rounds
  long lines = 0;      // scan lines made by one conversion
};

void WriteText(const fs::path& path) {
  std::ofstream out(path);
  for (int line = 0; line < 100 * 60; ++line)
    out << "Line " << line << ": the quick brown fox jumps over the lazy dog, 0123456789.\n";
}


bool OursConvert(const fs::path& text, const fs::path& apf, bool fine) {
  ql::TFaxConverter converter;
  converter.SetInputDocumentType(ql::idText);
  converter.SetResolution(fine ? ql::frHigh : ql::frNormal);
  converter.SetDocumentFile(text.string());
  converter.SetOutFileName(apf.string());
  try {
    converter.ConvertToFile();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
  return true;
}

// Scan lines of an APF file: every line record but each page's end-of-page record.
long ApfLines(const fs::path& apf) {
  ql::ApfReader reader;
  if (reader.Open(apf) < 0) return 0;
  long lines = 0;
  uint8_t record[ql::kApfMaxRecord];
  for (unsigned page = 1; page <= reader.PageCount(); ++page) {
    ql::ApfPageHeader header;
    if (reader.LocatePage(page, header) < 0) break;
    for (uint32_t consumed = 0; consumed < header.DataLength;) {
      const int n = reader.ReadLineRecord(record);
      if (n < 0) break;
      consumed += static_cast<uint32_t>(n) + 2;
      ++lines;
    }
    --lines;
  }
  return lines;
}

bool EfixConvert(const fs::path& text, const fs::path& folder, bool fine) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string pattern = (folder / "page%03d.tif").string();
  std::vector<std::string> args = {"efix", "-i", "text", "-o", "tiffg3", "-v", "e", "-n", pattern};
  if (!fine) args.insert(args.end(), {"-r", "204x98"});
  args.push_back(text.string());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "efix", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Scan lines of efix's output: the image length of every page file.
long TiffLines(const fs::path& folder) {
  TIFFSetWarningHandler(nullptr);
  long lines = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    TIFF* tiff = TIFFOpen(entry.path().c_str(), "r");
    if (tiff == nullptr) continue;
    do {
      uint32_t length = 0;
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length);
      lines += length;
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const fs::path work = fs::temp_directory_path() / ("qlbench-text-" + std::to_string(getpid()));
  fs::create_directories(work);
  const fs::path text = work / "LETTER.TXT";
  WriteText(text);

  std::printf("text to fax, 100-page text file (6000 lines), median of %d rounds\n\n", rounds);
  std::printf("%-10s %-5s %9s %9s %12s\n", "resolution", "who", "seconds", "lines", "lines/s");
  for (const bool fine : {true, false}) {
    std::vector<double> ours, efix;
    for (int round = 0; round < rounds; ++round) {
      // Alternate which one goes first, so neither always runs on a warmer machine.
      const auto runOurs = [&] { ours.push_back(Seconds([&] { return OursConvert(text, work / "OURS.APF", fine); })); };
      const auto runEfix = [&] { efix.push_back(Seconds([&] { return EfixConvert(text, work / "efix", fine); })); };
      if (round % 2 == 0) {
        runOurs();
        runEfix();
      } else {
        runEfix();
        runOurs();
      }
    }
    const Side us{Median(ours), ApfLines(work / "OURS.APF")};
    const Side them{Median(efix), TiffLines(work / "efix")};
    const char* name = fine ? "fine" : "standard";
    const double ourRate = static_cast<double>(us.lines) / us.seconds;
    const double theirRate = static_cast<double>(them.lines) / them.seconds;
    std::printf("%-10s %-5s %9.3f %9ld %12.0f\n", name, "ours", us.seconds, us.lines, ourRate);
    std::printf("%-10s %-5s %9.3f %9ld %12.0f\n", name, "efix", them.seconds, them.lines, theirRate);
    std::printf("%-10s ours / efix, lines per second: %.2f\n\n", name, ourRate / theirRate);
  }
  fs::remove_all(work);
  return 0;
}
