// Measures the fax desk's start-up to the first painted rows of the outgoing list with
// 100,000 outgoing rows: window creation (tables opened, settings loaded, folders made),
// show, and the first paint of the list that draws rows. Table creation is not counted.
//
//   ql_startup_bench [rows] [runs]     (QT_QPA_PLATFORM=offscreen works)

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/main_screen.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"

namespace {

class PaintWatch : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void MakeTable(int rows) {
  ql::xb::TTableEngine out;
  if (!ql::OpenFaxDBF(out)) {
    std::fprintf(stderr, "cannot create the outgoing table\n");
    std::exit(1);
  }
  const std::time_t start = 1767225600;  // 2026-01-01
  for (int i = 0; i < rows; ++i) {
    const std::string n = std::to_string(i);
    ql::AppendDriverFax(out, "FAX" + n + ".APF", "Recipient " + n, "Subject " + n, "555-" + n);
    if (i % 3 != 0) ql::RecordSendResult(out, "Sent", start + i * 60);
    if (i % 10 == 0) ql::ToggleArchived(out);
  }
  out.Close();
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  QApplication app(argc, argv);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("ql-startup-bench-" + std::to_string(rows));
  std::filesystem::create_directories(folder);
  ql::SetDataFolder(folder);
  ql::IniFile ini(folder / "QL.INI");
  ini.WriteInteger("Modem", "ComPort", 0);
  ini.Save();
  ql::StartTableSession();
  if (!std::filesystem::exists(folder / "QLOUT.DBF")) {
    QElapsedTimer make;
    make.start();
    MakeTable(rows);
    std::printf("made %d outgoing rows in %.1f s (not counted)\n", rows, make.elapsed() / 1000.0);
  }

  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    ql::TMainScreen window;
    PaintWatch watch;
    window.OutView()->viewport()->installEventFilter(&watch);
    window.show();
    while (!watch.painted) QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    times.push_back(ms);
    std::printf("run %d: %.1f ms to the first painted rows (%d rows read of %d)\n", run + 1, ms,
                window.OutModel()->rowCount(), rows);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.1f ms, best %.1f ms; target 1000 ms: %.3f of the target\n", times[times.size() / 2],
              times.front(), times[times.size() / 2] / 1000.0);
  return 0;
}
