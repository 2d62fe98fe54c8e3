// A PDF to a fax file ready to send, side by side with the route Linux fax programs
// take today: the same 20-page PDF of text and pictures (made here by Ghostscript's PDF
// writer) is turned into an APF file by ImportDocument and into a Group 3 TIFF by
// `gs -sDEVICE=tiffg3 -r204x196`, and dropped into a send folder by ql-print without
// its dialog (--to --recipient --subject: start-up, conversion, descriptor), alternating
// in rounds so that all three see the same machine load. Reports the median time of
// each, pages per second, and ours / gs.
//
//   document_import_bench [ROUNDS]      (default 7; needs gs on the PATH)

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fax_document/imports/document_import.h"
#include "bench/bench_timing.h"

namespace {

namespace fs = std::filesystem;
using bench::Median;
using bench::Seconds;

constexpr int kPages = 20;

// Each page: a heading, forty lines of body text, a grey-scale picture and a rule.
void WritePostScript(const fs::path& path) {
  std::ofstream ps(path);
  ps << "%!PS-Adobe-3.0\n<< /PageSize [595 842] >> setpagedevice\n"
     << "/picture { 64 64 8 [64 0 0 64 0 0] { 4096 string 0 1 4095 { 1 index exch dup dup 64 mod exch 64 idiv\n"
     << "  mul n 7 mul add 255 and put } for } image } def\n"
     << "1 1 " << kPages << " {\n  /n exch def\n"
     << "  /Helvetica-Bold findfont 22 scalefont setfont 60 780 moveto (Quarterly report, page ) show n 3 string cvs show\n"
     << "  /Times-Roman findfont 10 scalefont setfont\n"
     << "  0 1 39 { /i exch def 60 750 i 12 mul sub moveto\n"
     << "    (Revenue grew in every region; costs stayed within the plan. Line ) show i 3 string cvs show } for\n"
     << "  gsave 300 60 translate 240 200 scale picture grestore\n"
     << "  gsave 60 60 translate 200 200 scale picture grestore\n"
     << "  0.5 setlinewidth 60 40 moveto 535 40 lineto stroke\n"
     << "  showpage\n} for\n";
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }


}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  char pattern[] = "/tmp/document-import-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path dir = pattern;
  const fs::path ps = dir / "report.ps", pdf = dir / "report.pdf";
  WritePostScript(ps);
  if (!Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile='" + pdf.string() + "' '" + ps.string() + "'")) {
    std::fprintf(stderr, "cannot make the PDF (is Ghostscript installed?)\n");
    return 1;
  }
  const std::string gsCommand = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=tiffg3 -r204x196 -sOutputFile='" +
                                (dir / "report.tif").string() + "' '" + pdf.string() + "'";
  const std::string printCommand = "'" + std::string(QL_BINARY_DIR) + "/bin/ql-print' --home '" + (dir / "home").string() +
                                   "' --to 555-0100 --recipient R --subject S '" + pdf.string() + "' >/dev/null";
  std::vector<double> ours, theirs, printed;
  int pages = 0;
  for (int round = 0; round < rounds; ++round) {
    ours.push_back(Seconds([&] {
      const ql::ImportResult result = ql::ImportDocument(pdf, dir / "REPORT.APF");
      pages = result.pages;
      return result.ok;
    }));
    theirs.push_back(Seconds([&] { return Run(gsCommand); }));
    printed.push_back(Seconds([&] { return Run(printCommand); }));
    fs::remove_all(dir / "home" / "SEND");
  }
  const double a = Median(ours), b = Median(theirs);
  std::printf("%d-page PDF of text and pictures at 204 x 196 dpi, median of %d rounds\n", pages, rounds);
  std::printf("  ImportDocument to APF:        %7.3f s  %6.1f pages/s  (%lld bytes)\n", a, pages / a,
              static_cast<long long>(fs::file_size(dir / "REPORT.APF")));
  std::printf("  gs -sDEVICE=tiffg3 to TIFF:   %7.3f s  %6.1f pages/s  (%lld bytes)\n", b, kPages / b,
              static_cast<long long>(fs::file_size(dir / "report.tif")));
  const double c = Median(printed);
  std::printf("  ql-print --to ... (no dialog): %7.3f s  %6.1f pages/s\n", c, pages / c);
  std::printf("  ours / gs: %.2f, ql-print / gs: %.2f (target at most 1.20)\n", a / b, c / b);
  fs::remove_all(dir);
  return 0;
}
