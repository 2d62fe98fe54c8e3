// The fax viewer on a 100-page fine-resolution fax, each figure beside the same done by
// poppler's pdftoppm or libtiff's tiff2pdf on the same pages, in one run:
//   - the view command (copy prepared, window opened) to the first page painted, and the
//     viewer alone opening the file to its first paint; pdftoppm rendering page 1;
//   - a page flip (next page unpacked and painted at the window's default zoom);
//     pdftoppm rendering one page;
//   - memory with every page visited (resident set growth); pdftoppm's peak rendering
//     all pages;
//   - exporting all pages to PDF; tiff2pdf turning a Group 4 TIFF of the pages into PDF.
//
//   ql_viewer_bench [pages] [runs]      (QT_QPA_PLATFORM=offscreen works)

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings/work_folders.h"
#include "app/view/view_command.h"
#include "fax_document/components/fax_converter.h"
#include "fax_document/export/pdf_export.h"
#include "fax_document/ui/fax_view_window.h"
#include "fax_document/unpack/unpacker_core.h"
#include "platform/data_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

long RssKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  return 0;
}

struct Child {
  double ms = 0;
  long maxRssKb = 0;
};

// Runs a program, quietly, and tells how long it took and its peak memory.
Child RunProgram(const std::vector<std::string>& argv) {
  std::fflush(stdout);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "%s failed\n", argv[0].c_str());
  return Child{Ms(start, Clock::now()), usage.ru_maxrss};
}

// Records the first paint of a widget with a page on it.
class FirstPaint : public QObject {
 public:
  Clock::time_point at{};
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted) {
      painted = true;
      at = Clock::now();
    }
    return false;
  }
};

FirstPaint* watch = nullptr;

void WatchAndClose(ql::TFaxViewer& window) {
  window.ViewerControl()->Viewer()->viewport()->installEventFilter(watch);
  auto* timer = new QTimer(&window);
  QObject::connect(timer, &QTimer::timeout, &window, [&window, timer] {
    if (watch->painted) {
      timer->stop();
      window.accept();
    }
  });
  timer->start(1);
}

void MakeFax(const std::filesystem::path& folder, const std::filesystem::path& apf, int pages) {
  const std::filesystem::path text = folder / "letter.txt";
  {
    std::ofstream out(text, std::ios::binary);
    for (int p = 1; p <= pages; ++p) {
      for (int line = 1; line <= 58; ++line)
        out << "Page " << p << ", line " << line << ": The quick brown fox jumps over the lazy dog, 0123456789.\r\n";
      if (p < pages) out << '\f';
    }
  }
  ql::TFaxConverter converter;
  converter.SetInputDocumentType(ql::idText);
  converter.SetResolution(ql::frHigh);
  converter.SetDocumentFile(text.string());
  converter.SetOutFileName(apf.string());
  converter.ConvertToFile();
}

// A multi-page Group 4 TIFF of the fax's pages at their own resolution (tiff2pdf's input).
void WriteG4Tiff(const std::filesystem::path& apf, const std::filesystem::path& tif, int pages) {
  TIFF* out = TIFFOpen(tif.c_str(), "w");
  for (int p = 1; p <= pages; ++p) {
    std::vector<std::vector<uint8_t>> rows;
    ql::UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
      if (!starting && !ending) rows.emplace_back(data, data + length);
      return 0;
    });
    core.UnpackFlags = 0;
    core.UnpackPage(apf, static_cast<unsigned>(p));
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, 1728);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.size()));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(out, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(out, TIFFTAG_YRESOLUTION, 196.0);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows.size()));
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(out, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p - 1), static_cast<uint16_t>(pages));
    for (size_t y = 0; y < rows.size(); ++y) TIFFWriteScanline(out, rows[y].data(), static_cast<uint32_t>(y), 0);
    TIFFWriteDirectory(out);
  }
  TIFFClose(out);
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 100;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  QApplication app(argc, argv);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "ql-viewer-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ql::SetDataFolder(folder);
  ql::EnsureWorkFolders();
  const std::filesystem::path fax = ql::ReceiveFolder() / "FAX0001.APF";
  MakeFax(folder, fax, pages);
  const std::filesystem::path pdf = folder / "fax.pdf", tif = folder / "fax.tif";
  WriteG4Tiff(fax, tif, pages);
  std::printf("fax: %d fine pages, %.1f MB APF\n", pages, std::filesystem::file_size(fax) / 1e6);

  // Export to PDF, beside tiff2pdf on a Group 4 TIFF of the same pages.
  std::vector<double> exportMs, tiff2pdfMs;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    if (ql::ExportFaxToPdf(fax, pdf) < 0) return 1;
    exportMs.push_back(Ms(start, Clock::now()));
    tiff2pdfMs.push_back(RunProgram({"tiff2pdf", "-o", (folder / "tiff2pdf.pdf").string(), tif.string()}).ms);
  }
  std::printf("export all pages to PDF: %.0f ms (%.2f MB); tiff2pdf: %.0f ms (%.2f MB); ratio %.2f\n",
              Median(exportMs), std::filesystem::file_size(pdf) / 1e6, Median(tiff2pdfMs),
              std::filesystem::file_size(folder / "tiff2pdf.pdf") / 1e6, Median(exportMs) / Median(tiff2pdfMs));

  // The view command to the first page painted; the viewer alone; pdftoppm on page 1
  // at about the window's default size (zoom 100% = 864 pixels across).
  QMainWindow desk;
  desk.setCentralWidget(new QWidget(&desk));
  desk.resize(900, 700);
  desk.show();
  ql::TViewSubject subject;
  subject.received = true;
  subject.receivedRow.from = "Bench";
  subject.receivedRow.faxFile = fax.filename().string();
  std::vector<double> commandMs, openMs, firstRefMs;
  for (int r = 0; r < runs; ++r) {
    FirstPaint paint;
    watch = &paint;
    const auto start = Clock::now();
    ql::ViewFax(desk, subject, WatchAndClose);
    commandMs.push_back(Ms(start, paint.at));

    ql::TFaxViewer window(nullptr);
    FirstPaint alone;
    window.ViewerControl()->Viewer()->viewport()->installEventFilter(&alone);
    window.SetFileToShow(fax.string());
    const auto open = Clock::now();
    window.show();
    while (!alone.painted) QApplication::processEvents(QEventLoop::AllEvents, 5);
    openMs.push_back(Ms(open, alone.at));
    firstRefMs.push_back(
        RunProgram({"pdftoppm", "-r", "102", "-f", "1", "-l", "1", "-gray", pdf.string(), (folder / "ref").string()}).ms);
  }
  std::printf("view command to first page painted: %.0f ms; viewer opening the file to first paint: %.1f ms; "
              "pdftoppm page 1: %.1f ms; ratio (viewer / pdftoppm) %.2f\n",
              Median(commandMs), Median(openMs), Median(firstRefMs), Median(openMs) / Median(firstRefMs));

  // Page flips at the default zoom, and memory with every page visited.
  ql::TFaxViewer window(nullptr);
  window.SetFileToShow(fax.string());
  window.show();
  QApplication::processEvents();
  ql::TViewer& viewer = *window.ViewerControl()->Viewer();
  const long rssBefore = RssKb("VmRSS:");
  std::vector<double> flipMs;
  for (int p = 2; p <= pages; ++p) {
    const auto start = Clock::now();
    window.ViewerControl()->ShowNextPage();
    viewer.viewport()->repaint();
    flipMs.push_back(Ms(start, Clock::now()));
  }
  const long rssAfter = RssKb("VmRSS:");
  std::vector<double> flipRefMs;
  for (int r = 0; r < runs; ++r)
    flipRefMs.push_back(RunProgram({"pdftoppm", "-r", "102", "-f", "50", "-l", "50", "-gray", pdf.string(),
                                    (folder / "ref").string()})
                            .ms);
  std::printf("page flip: %.1f ms median, %.1f ms slowest; pdftoppm one page: %.1f ms; ratio %.2f\n", Median(flipMs),
              *std::max_element(flipMs.begin(), flipMs.end()), Median(flipRefMs), Median(flipMs) / Median(flipRefMs));
  const Child all = RunProgram({"pdftoppm", "-r", "102", "-gray", pdf.string(), (folder / "all").string()});
  std::printf("memory, every page visited: resident set %.1f MB in all (+%.1f MB while paging), pages held %.1f MB; "
              "pdftoppm rendering all pages: peak %.1f MB; ratio %.2f\n",
              rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0, viewer.BytesHeld() / 1048576.0,
              all.maxRssKb / 1024.0, rssAfter / static_cast<double>(all.maxRssKb));
  std::filesystem::remove_all(folder);
  return 0;
}
