// The converter and unpacker talking to message windows: status reports sent to a
// status window (also from another thread), and a quit request seen while letting
// messages through, which stops the work with ecGotQuitMsg and leaves no output behind.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/components/fax_converter.h"
#include "fax_document/components/fax_unpacker.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/t4/t4_bit_writer.h"
#include "fax_document/t4/t4_codes.h"
#include "fax_document/tests/test_pages.h"
#include "platform/message_pump.h"
#include "platform/message_windows/message_window.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

constexpr uint32_t kAskToQuit = 0x8001;

struct Report {
  uintptr_t kind;
  intptr_t core;
};

// Runs with the headless pump and puts back the pump and the quit state afterwards.
class FaxMessages : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetMessagePump([] { DispatchPendingMessages(); }); }
  void TearDown() override {
    DestroyMessageWindow(quitter_);
    SetApplicationTerminating(false);
    SetMessagePump(previous_);
  }
  // Posts a message whose handler asks the application to quit, as a Quit menu command
  // clicked during a long operation would.
  void PostQuitRequest() {
    if (quitter_ == 0)
      quitter_ = CreateMessageWindow("quitter", [](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
        if (msg == kAskToQuit) SetApplicationTerminating(true);
        return 0;
      });
    ASSERT_TRUE(PostMessage(quitter_, kAskToQuit, 0, 0));
  }

  TempDir dir_;
  MessageWindow quitter_ = 0;
  std::function<void()> previous_;
};

TEST_F(FaxMessages, StatusWindowGetsEveryReportInsteadOfTheCallback) {
  const TMonoBitmap bitmap(100, 5);
  std::vector<Report> reports;
  intptr_t abortAfter = 1000;
  const MessageWindow window = CreateMessageWindow("status", [&](uint32_t msg, uintptr_t w, intptr_t l) -> intptr_t {
    EXPECT_EQ(msg, kConverterStatusMessage);
    reports.push_back({w, l});
    return static_cast<intptr_t>(reports.size()) >= abortAfter;
  });
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  core.SetStatus([](ConverterCore&, int, long, long) {
    ADD_FAILURE() << "the callback runs although a status window is set";
    return true;
  });
  core.SetStatusWindow(window);
  ASSERT_EQ(core.ConvertToFile("x", dir_ / "S.APF"), 0);
  // Starting, five lines and the end of the page, ending; lParam names the core.
  ASSERT_EQ(reports.size(), 8u);
  EXPECT_EQ(reports.front().kind, uintptr_t{kStatusStarting});
  for (size_t i = 1; i < 7; ++i) EXPECT_EQ(reports[i].kind, uintptr_t{kStatusLine});
  EXPECT_EQ(reports.back().kind, uintptr_t{kStatusEnding});
  for (const Report& r : reports) EXPECT_EQ(r.core, reinterpret_cast<intptr_t>(&core));

  // A nonzero answer aborts (the ending is still reported); the partly written file goes.
  reports.clear();
  abortAfter = 3;
  EXPECT_EQ(core.ConvertToFile("x", dir_ / "A.APF"), ecConvertAbort);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports.back().kind, uintptr_t{kStatusEnding});
  EXPECT_FALSE(std::filesystem::exists(dir_ / "A.APF"));

  // A window that has gone is harmless: nothing answers, nothing aborts.
  DestroyMessageWindow(window);
  EXPECT_EQ(core.ConvertToFile("x", dir_ / "G.APF"), 0);
}

TEST_F(FaxMessages, StatusWindowOfAnotherThreadCanAbort) {
  std::atomic<MessageWindow> window{0};
  std::atomic<bool> stop{false};
  std::atomic<int> lines{0};
  std::thread owner([&] {
    window = CreateMessageWindow("status", [&](uint32_t, uintptr_t kind, intptr_t) -> intptr_t {
      return kind == uintptr_t{kStatusLine} && ++lines == 4;
    });
    while (!stop) {
      WaitForMessages(20);
      DispatchPendingMessages();
    }
    DestroyMessageWindow(window);
  });
  while (window == 0) std::this_thread::yield();
  const TMonoBitmap bitmap(100, 50);
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  core.SetStatusWindow(window);
  EXPECT_EQ(core.ConvertToFile("x", dir_ / "T.APF"), ecConvertAbort);
  stop = true;
  owner.join();
  EXPECT_EQ(lines, 4);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "T.APF"));
}

TEST_F(FaxMessages, QuitWhileConvertingStopsWithoutAFile) {
  const TMonoBitmap bitmap(100, 40);
  // Yielding only between pages: the one page is written, then the quit is seen.
  for (const uint16_t options : {coYield, uint16_t(coYield | coYieldOften)}) {
    ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
    core.SetOptions(options);
    PostQuitRequest();
    EXPECT_EQ(core.ConvertToFile("x", dir_ / "Q.APF"), ecGotQuitMsg);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Q.APF"));
    // The request stays pending for the rest of the program.
    EXPECT_TRUE(ApplicationTerminating());
    SetApplicationTerminating(false);
  }
  // Without yielding no messages run, so the conversion completes.
  ConverterCore quiet(std::make_unique<BitmapSource>(&bitmap));
  quiet.SetOptions(0);
  PostQuitRequest();
  EXPECT_EQ(quiet.ConvertToFile("x", dir_ / "Q.APF"), 0);
  EXPECT_FALSE(ApplicationTerminating());
  DispatchPendingMessages();  // the request was still waiting
  EXPECT_TRUE(ApplicationTerminating());
  SetApplicationTerminating(false);

  // The component raises it as its exception.
  TFaxConverter converter;
  converter.SetInputDocumentType(idBitmap);
  converter.SetOutFileName((dir_ / "C.APF").string());
  PostQuitRequest();
  EXPECT_THROW(converter.ConvertBitmapToApf(&bitmap), EGotQuitMsg);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "C.APF"));
}

TEST_F(FaxMessages, QuitWhileUnpackingGivesNoBitmap) {
  reference::Raster rows = reference::BlankPage(1728, 40);
  for (auto& row : rows) row[10] = 0xFF;
  ASSERT_EQ(testing::ConvertRows(rows, 1728, dir_ / "U.APF"), 0);
  UnpackerCore core;
  core.UnpackFlags = ufYield;
  PostQuitRequest();
  TMonoBitmap bitmap;
  EXPECT_EQ(core.UnpackPageToBitmap(dir_ / "U.APF", 1, true, bitmap), ecGotQuitMsg);
  EXPECT_EQ(bitmap.Height(), 0);
  SetApplicationTerminating(false);
  // Without the yield flag the page decodes in full.
  core.UnpackFlags = 0;
  PostQuitRequest();
  ASSERT_EQ(core.UnpackPageToBitmap(dir_ / "U.APF", 1, true, bitmap), 0);
  EXPECT_EQ(bitmap.Height(), 40);
  DispatchPendingMessages();
  SetApplicationTerminating(false);

  TFaxUnpacker unpacker;
  unpacker.SetInFileName((dir_ / "U.APF").string());
  PostQuitRequest();
  EXPECT_THROW(unpacker.PageToBitmap(1), EGotQuitMsg);
}

// A page of about 64 KiB of noise: one end of line, then runs that never end a line, so
// not a single line comes out of it.
void WriteNoisePage(const std::filesystem::path& path) {
  std::vector<uint8_t> stream(80 * 1024, 0);
  T4BitWriter w(stream.data());
  w.Put(kEolCode);
  for (int i = 0; i < 24000; ++i) w.PutRun(i % 2 == 1, 1728);
  unsigned bit = 0;
  stream.resize(w.Finish(bit) + 1);
  ApfWriter writer;
  ASSERT_EQ(writer.Create(path), 0);
  ASSERT_EQ(writer.BeginPage(false, false), 0);
  for (size_t at = 0; at < stream.size(); at += 4000)
    ASSERT_EQ(writer.AppendLine(stream.data() + at, std::min<size_t>(4000, stream.size() - at)), 0);
  ASSERT_EQ(writer.EndPage(), 0);
  ASSERT_EQ(writer.Close("T"), 0);
}

TEST_F(FaxMessages, PageOfNoiseReportsProgressAndCanBeStopped) {
  WriteNoisePage(dir_ / "N.APF");
  UnpackerCore core;
  core.UnpackFlags = 0;
  std::vector<long> progress;
  core.SetStatus([&](const std::filesystem::path&, unsigned, long unpacked, long) { progress.push_back(unpacked); });
  TMonoBitmap bitmap;
  ASSERT_EQ(core.UnpackPageToBitmap(dir_ / "N.APF", 1, true, bitmap), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  ASSERT_GE(progress.size(), 32u);
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1], progress[i]);
  EXPECT_EQ(progress.back(), core.BytesToUnpack);

  // The abort flag stops it early.
  progress.clear();
  core.SetStatus([&](const std::filesystem::path&, unsigned, long unpacked, long) {
    progress.push_back(unpacked);
    if (progress.size() == 3) core.SetFlags(ufAbort);
  });
  ASSERT_EQ(core.UnpackPageToBitmap(dir_ / "N.APF", 1, true, bitmap), 0);
  EXPECT_LE(progress.size(), 4u);
  EXPECT_LT(core.BytesUnpacked, core.BytesToUnpack / 4);

  // And so does a quit request, although no line ever comes out to yield after.
  core.ClearFlags(ufAbort);
  core.SetFlags(ufYield);
  core.SetStatus({});
  PostQuitRequest();
  EXPECT_EQ(core.UnpackPageToBitmap(dir_ / "N.APF", 1, true, bitmap), ecGotQuitMsg);
}

}  // namespace
}  // namespace ql
