#pragma once
// A receiving test call: a virtual line of its own with our modem 100, the receive
// component on it, remote machines of the line calling it (qlvmodem --control send),
// and the checks every fax received makes: each page of the file decodes, with
// libtiff, to exactly the rows sent, the far ID is in the file and the history.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "fax_document/apf/apf_file.h"
#include "fax_engine/tests/interop/fax_line.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "fax_engine/tests/interop/receive_call.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {

inline constexpr const char* kReceiverId = "QUILLET RECEIVER";
inline constexpr const char* kSenderId = "FAR SENDER";

class ReceiveTest : public ::testing::Test {
 protected:
  // A line with our modem 100 (of the given classes) and any extra modems.
  void StartLine(const std::string& classes = "", std::vector<std::string> extraModems = {}) {
    std::vector<std::string> modems = {"ttyFAX0=100" + (classes.empty() ? "" : ":" + classes)};
    modems.insert(modems.end(), extraModems.begin(), extraModems.end());
    line = std::make_unique<FaxLine>(dir / "vline", modems, std::vector<std::string>{"200"});
    call = std::make_unique<ReceiveCall>(line->Link("ttyFAX0"), dir / "in", dir / "FAXLOG.HIS");
    call->fax.SetStationID(kReceiverId);
    call->fax.SetSessionLogName((dir / "session.log").string());
  }

  // A letter as the far machine sends it: a TIFF of its pages; the pages are kept.
  std::filesystem::path Document(const std::string& name, const LetterShape& shape) {
    const auto apf = WriteLetter(dir.path(), name, shape);
    std::vector<Raster> pages = DecodeApf(apf);
    const auto tiff = dir / (name + ".tif");
    WriteTiffPages(tiff, pages, shape.fine);
    documents[tiff.string()] = pages;
    return tiff;
  }
  // The far machine calls our modem and sends the document.
  void FarMachineSends(const std::filesystem::path& tiff, const std::string& ident = kSenderId) {
    const std::string answer = line->Control("send 100 " + tiff.string() + " " + ident);
    ASSERT_EQ(answer.rfind("OK", 0), 0u) << answer;
  }

  // Runs until `calls` calls ended (kept, failed or refused) and the modem waits again,
  // then cancels. `makeCall` makes call n once the modem waits for calls, after the call
  // before has ended.
  ReceiveRun RunCalls(size_t calls, double seconds, const std::function<void(size_t)>& makeCall) {
    size_t made = 0, ended = 0;
    auto endedCalls = [](const ReceiveRun& r) {
      size_t n = 0;
      for (TFaxLogCode c : r.logs) n += c == lfaxReceiveOk || c == lfaxReceiveFail || c == lfaxReceiveSkip;
      return n;
    };
    // A call is over once the modem waits for calls again: then the next one is made.
    bool waitingAgain = false;
    return call->Run(
        seconds,
        [&](const ReceiveRun& r) {
          if (endedCalls(r) > ended) {
            ended = endedCalls(r);
            waitingAgain = false;
          }
          if (call->fax.FaxProgress() == 20) waitingAgain = true;
          return ended >= calls && waitingAgain;
        },
        [&] {
          if (made == ended && made < calls && call->fax.FaxProgress() == 20 && (made == 0 || waitingAgain)) {
            makeCall(made);
            ++made;
          }
        });
  }
  // One call of the far machine sending `tiff`.
  ReceiveRun ReceiveOne(const std::filesystem::path& tiff, double seconds = 300) {
    return RunCalls(1, seconds, [&](size_t) { FarMachineSends(tiff); });
  }

  // The kept file holds exactly the document's pages, from the far machine; with
  // `headerRows`, each page is that many rows longer for the header line the far
  // machine drew at its top.
  void ExpectKept(const std::string& file, const std::filesystem::path& tiff, size_t headerRows = 0,
                  const std::string& remoteId = kSenderId) {
    const std::vector<Raster>& sent = documents.at(tiff.string());
    ApfFileHeader header;
    ASSERT_EQ(ReadApfFileHeader(file, header), 0) << Trace();
    EXPECT_EQ(header.PageCount, sent.size()) << Trace();
    EXPECT_EQ(header.SenderStation, remoteId);
    std::vector<size_t> rows;
    for (const Raster& page : sent) rows.push_back(page.size() + headerRows);
    const std::vector<Raster> kept = DecodeReceivedApf(file, rows);
    ASSERT_EQ(kept.size(), sent.size()) << Trace();
    for (size_t p = 0; p < sent.size(); ++p) {
      ASSERT_EQ(kept[p].size(), sent[p].size() + headerRows) << "page " << p + 1 << Trace();
      if (headerRows == 0) {
        EXPECT_EQ(Difference(kept[p], sent[p]), "") << "page " << p + 1 << Trace();
        continue;
      }
      // A far machine that draws its header line over the top of the page: below the
      // header's rows, every row sent stands in the page, in order.
      bool found = false;
      for (size_t offset = 0; offset <= headerRows && !found; ++offset)
        found = std::equal(sent[p].begin() + static_cast<long>(headerRows), sent[p].end(),
                           kept[p].begin() + static_cast<long>(headerRows + offset));
      EXPECT_TRUE(found) << "page " << p + 1 << Trace();
    }
    const std::string history = ReadFile(dir / "FAXLOG.HIS");
    EXPECT_NE(history.find("Receive " + file + " from " + remoteId + " started at "), std::string::npos) << history;
    EXPECT_NE(history.find("Receive finished OK at "), std::string::npos) << history;
  }

  // No file of the folder is left but the kept ones.
  void ExpectOnlyKeptFiles(const ReceiveRun& r) {
    for (const auto& entry : std::filesystem::directory_iterator(dir / "in")) {
      const bool kept = std::find(r.kept.begin(), r.kept.end(), entry.path().string()) != r.kept.end();
      EXPECT_TRUE(kept) << entry.path() << " left behind";
    }
  }

  // A far machine's record of its call, once it has one.
  std::string RemoteRecord(const std::string& number) {
    std::string record;
    for (int i = 0; i < 100; ++i) {
      record = line->Control("received " + number);
      if (record.find("result=") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return record;
  }

  std::string SessionLog() const { return ReadFile(dir / "session.log"); }
  std::string Trace() const {
    return "\n--- session log\n" + SessionLog() + "\n--- call log\n" + (line ? line->CallLog() : "");
  }

  TempDir dir;
  std::unique_ptr<FaxLine> line;
  std::unique_ptr<ReceiveCall> call;
  std::map<std::string, std::vector<Raster>> documents;
};

}  // namespace ql::testing
