#pragma once
// A virtual line running on its own thread for one test, in a fresh folder. The test
// reaches it only as a program would: through the modems' ptys and the control socket.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tools/qlvmodem/control.h"
#include "tools/qlvmodem/tests/g3_page.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/virtual_line.h"

namespace ql::vmodem::testing {

class RunningLine {
 public:
  explicit RunningLine(const std::vector<std::string>& args, const std::filesystem::path& dir) {
    std::string error;
    auto config = ParseLineArguments(args, dir, &error);
    if (!config) throw std::runtime_error(error);
    line_ = std::make_unique<VirtualLine>(*config);
    thread_ = std::thread([this] { line_->Run(); });
  }
  ~RunningLine() {
    line_->Stop();
    thread_.join();
  }
  std::string Control(const std::string& command, double seconds = 30) {
    return ControlRequest(line_->ControlPath(), command, seconds);
  }
  // Polls the control socket until `command`'s answer contains `text`.
  bool WaitFor(const std::string& command, const std::string& text, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Control(command).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::unique_ptr<VirtualLine> line_;
  std::thread thread_;
};

// Two Class 1 modems, 100 and 101, with their programs attached; rings every second.
class TwoModemLine : public ::testing::Test {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--modem", "ttyFAX0=100", "--modem", "ttyFAX1=101", "--ring-period", "1"}, dir_.path()};
  DteLink caller_{dir_ / "ttyFAX0"};
  DteLink callee_{dir_ / "ttyFAX1"};

  // Both programs select Class 1 without echo; the callee also sends `calleeSettings`.
  void Prepare(const std::string& calleeSettings) {
    ASSERT_TRUE(caller_.Ok("ATE0+FCLASS=1"));
    ASSERT_TRUE(callee_.Ok("ATE0" + calleeSettings));
    ASSERT_TRUE(callee_.Ok("AT+FCLASS=1"));
  }
};

// A short test document: 1728 pixels wide, `rows` rows at `yDpi`, G3 1-D, with a few
// black bars so the pages carry some data; each page's bars sit a little further right.
inline void WriteTestTiff(const std::filesystem::path& path, int rows = 60, int yDpi = 196, int pages = 1) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) throw std::runtime_error("cannot write " + path.string());
  for (int page = 0; page < pages; ++page) {
    WriteG3Page(
        tif, rows, yDpi,
        [page](int y, std::vector<uint8_t>& row) {
          if ((y / 10) % 2 == 1)
            for (int x = 20 + y % 7 + page * 10; x < 120 + page * 10; x += 3) row[static_cast<size_t>(x)] = 0xFF;
        },
        page, pages);
  }
  TIFFClose(tif);
}

}  // namespace ql::vmodem::testing
