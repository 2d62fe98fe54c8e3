// An independent fax program (efax) on a virtual modem, in each fax class: it sends one
// page and three pages to the answering remote, and receives from a calling remote.
// Every page kept is compared row by row with the page that was sent.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/tests/class1_session.h"
#include "tools/qlvmodem/tests/line_fixture.h"

extern char** environ;

namespace ql::vmodem::testing {
namespace {

// efax puts a band of this many rows (blank with an empty header text) on top of each page.
constexpr size_t kHeaderRows = 20;

// A program of the efax package as a child process: standard output to `out`, standard
// error to `err` (the same file when both name it).
class Program {
 public:
  Program(const std::string& name, const std::vector<std::string>& args, const std::filesystem::path& out,
          const std::filesystem::path& err)
      : log_(err) {
    std::vector<std::string> all = {name};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err == out)
      posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
      posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    started_ = posix_spawnp(&pid_, name.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (started_ && !done_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return started_; }
  // The exit status, or -1 when the program was still running after `seconds`.
  int Wait(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (started_ && !done_ && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        done_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done_ ? status_ : -1;
  }
  std::string Log() const { return ql::testing::ReadFile(log_); }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  bool started_ = false;
  bool done_ = false;
  int status_ = -1;
};

using RowFill = std::function<void(int, std::vector<uint8_t>&)>;

// A page the way efax reads pages: drawn as a PBM file and made a fax file by efix (efax
// reads a page's code up to its end-of-page code, which files it makes itself carry).
std::filesystem::path MakeEfaxPage(const std::filesystem::path& dir, const std::string& name, int rows,
                                   const RowFill& fill) {
  std::string pbm = "P4\n1728 " + std::to_string(rows) + "\n";
  std::vector<uint8_t> row(216);
  for (int y = 0; y < rows; ++y) {
    std::fill(row.begin(), row.end(), 0);
    fill(y, row);
    pbm.append(row.begin(), row.end());
  }
  ql::testing::WriteFile(dir / (name + ".pbm"), pbm);
  const auto tiff = dir / (name + ".tif");
  Program efix("efix", {"-i", "pbm", "-o", "tiffg3", (dir / (name + ".pbm")).string()}, tiff,
               dir / (name + ".log"));
  if (!efix.Started() || efix.Wait(30) != 0) return {};
  return tiff;
}

// Bars on most rows and bands of halftone-like dots (runs of four pixels or more, as a
// scanned picture has): its code is longer than the modem's and the pty's buffers
// together, so the program must be paced.
void DenseRow(int y, std::vector<uint8_t>& row, uint32_t& seed) {
  static constexpr uint8_t kDots[] = {0x00, 0x0F, 0xF0, 0xFF};
  if (y % 40 < 16) {
    for (auto& b : row) {
      seed = seed * 1103515245u + 12345u;
      b = kDots[(seed >> 16) & 3];
    }
  } else if ((y / 8) % 2 == 1) {
    for (size_t x = 10; x < row.size() - 10; x += 5) row[x] = 0xF0;
  }
}

// A lighter page: bars that move right from page to page.
void BarRow(int page, int y, std::vector<uint8_t>& row) {
  if ((y / 10) % 2 == 1)
    for (int x = 20 + y % 7 + page * 10; x < 120 + page * 10; x += 3) row[static_cast<size_t>(x)] = 0xFF;
}

struct Direction {
  const char* option;  // efax's class option
  int pages;           // pages sent (the program sends), or 0 (the program receives)
};

void PrintTo(const Direction& d, std::ostream* out) { *out << "efax " << d.option << ", " << d.pages << " page(s)"; }

std::string Name(const ::testing::TestParamInfo<Direction>& info) {
  const std::string cls = std::string(info.param.option) == "-o1" ? "Class1"
                          : std::string(info.param.option) == "-o2" ? "Class2"
                                                                    : "Class20";
  if (info.param.pages == 0) return cls + "Receives";
  return cls + "Sends" + std::to_string(info.param.pages) + (info.param.pages == 1 ? "Page" : "Pages");
}

class Efax : public ::testing::TestWithParam<Direction> {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--modem", "ttyFAX0=100:1+2+2.0", "--remote", "200:FAR MACHINE", "--ring-period", "2",
                     "--trace-dir", (dir_ / "traces").string()},
                    dir_.path()};

  // The modem's trace of the one call.
  std::string Trace() const {
    std::string all;
    std::error_code ec;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "traces", ec)) {
      all += ql::testing::ReadFile(entry.path());
      ++files;
    }
    EXPECT_EQ(files, 1);
    return all;
  }

  std::filesystem::path Device() const { return dir_ / "ttyFAX0"; }

  // The pages the far side kept equal those sent: after efax's blank header band when
  // efax sent them, exactly when it received them.
  static void ExpectSamePages(const std::vector<std::vector<std::string>>& kept,
                              const std::vector<std::vector<std::string>>& sent, size_t header) {
    ASSERT_EQ(kept.size(), sent.size());
    for (size_t page = 0; page < sent.size(); ++page) {
      ASSERT_EQ(kept[page].size(), sent[page].size() + header) << "page " << page + 1;
      const std::string white(sent[page].front().size(), '\0');
      for (size_t y = 0; y < header; ++y) ASSERT_EQ(kept[page][y], white) << "page " << page + 1 << " header row " << y;
      for (size_t y = 0; y < sent[page].size(); ++y)
        ASSERT_EQ(kept[page][header + y], sent[page][y]) << "page " << page + 1 << " row " << y;
    }
  }
};

TEST_P(Efax, PagesArriveIntact) {
  const Direction d = GetParam();

  if (d.pages > 0) {
    std::vector<std::string> args = {"-d", Device().string(), d.option, "-h", "", "-l", "EFAX SENDER", "-t", "200"};
    std::vector<std::vector<std::string>> sent;
    uint32_t seed = 12345;
    for (int page = 0; page < d.pages; ++page) {
      const auto file = MakeEfaxPage(dir_.path(), "page" + std::to_string(page + 1), d.pages == 1 ? 400 : 120,
                                     [&](int y, std::vector<uint8_t>& row) {
                                       if (d.pages == 1)
                                         DenseRow(y, row, seed);
                                       else
                                         BarRow(page, y, row);
                                     });
      ASSERT_FALSE(file.empty()) << "efix is not installed (deps/debian-packages.txt)";
      sent.push_back(PageRows(file).front());
      args.push_back(file.string());
    }
    Program efax("efax", args, dir_ / "efax.log", dir_ / "efax.log");
    ASSERT_TRUE(efax.Started()) << "efax is not installed (deps/debian-packages.txt)";
    ASSERT_EQ(efax.Wait(240), 0) << efax.Log();
    ASSERT_TRUE(line_.WaitFor("received 200", "OK 1 sessions", 10));
    const std::string record = line_.Control("received 200");
    EXPECT_EQ(RecordField(record, "result"), "0") << record;
    EXPECT_EQ(RecordField(record, "pages"), std::to_string(d.pages)) << record;
    EXPECT_EQ(RecordField(record, "remote_id"), "EFAX SENDER") << record;
    ExpectSamePages(PageRows(RecordField(record, "tiff")), sent, kHeaderRows);
    // The dense page is more than the modem holds: a Class 2 modem paces the program
    // with XOFF and XON, as hardware does.
    const std::string trace = Trace();
    EXPECT_NE(trace.find("command  ATD200"), std::string::npos) << trace;
    if (std::string(d.option) == "-o2" && d.pages == 1) {
      EXPECT_NE(trace.find("flow     XOFF"), std::string::npos) << trace;
    }
    return;
  }

  // Receiving: efax answers on the first ring and keeps each page in a file of its own.
  const std::filesystem::path pages = dir_ / "pages.tif";
  WriteTestTiff(pages, 120, 196, 2);
  const auto sent = PageRows(pages);
  Program efax("efax", {"-d", Device().string(), d.option, "-iS0=1", "-w", "-r", (dir_ / "rx").string()},
               dir_ / "efax.log", dir_ / "efax.log");
  ASSERT_TRUE(efax.Started()) << "efax is not installed (deps/debian-packages.txt)";
  // Once efax has set the modem up it waits for the call.
  auto ready = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (efax.Log().find("waiting for activity") == std::string::npos && std::chrono::steady_clock::now() < ready)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_NE(efax.Log().find("waiting for activity"), std::string::npos) << efax.Log();
  ASSERT_EQ(line_.Control("send 100 " + pages.string() + " FAR SENDER").rfind("OK caller ", 0), 0u);
  ASSERT_EQ(efax.Wait(240), 0) << efax.Log();
  std::vector<std::vector<std::string>> kept;
  for (int page = 1; page <= 2; ++page) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ".%03d", page);
    auto rows = PageRows(dir_ / ("rx" + std::string(suffix)));
    ASSERT_EQ(rows.size(), 1u) << "page " << page << " not kept:\n" << efax.Log();
    kept.push_back(rows.front());
  }
  ExpectSamePages(kept, sent, 0);
  EXPECT_NE(Trace().find("incoming call from 901"), std::string::npos);
  ASSERT_TRUE(line_.WaitFor("received 901", "OK 1 sessions", 10));
  const std::string record = line_.Control("received 901");
  EXPECT_EQ(RecordField(record, "result"), "0") << record;
  EXPECT_EQ(RecordField(record, "pages"), "2") << record;
}

INSTANTIATE_TEST_SUITE_P(AllClasses, Efax,
                         ::testing::Values(Direction{"-o1", 1}, Direction{"-o1", 3}, Direction{"-o1", 0},
                                           Direction{"-o2", 1}, Direction{"-o2", 3}, Direction{"-o2", 0},
                                           Direction{"-o0", 1}, Direction{"-o0", 3}, Direction{"-o0", 0}),
                         Name);

}  // namespace
}  // namespace ql::vmodem::testing
