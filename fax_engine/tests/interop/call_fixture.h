#pragma once
// A test call: a virtual line of its own, the send component on its first modem, and
// the checks every successful call makes: the finish code, the log events, the port
// given back, the IDs both ways, the far side's session record, every page it kept
// compared row for row with what was sent, and the history file.

#include <gtest/gtest.h>

#include <memory>

#include "fax_engine/tests/interop/fax_line.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "fax_engine/tests/interop/send_call.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {

inline constexpr const char* kOurId = "QUILLET INTEROP";
inline constexpr const char* kRemoteId = "ACME REMOTE";
inline constexpr const char* kHeader = "$I  Page $P of $N";

class CallTest : public ::testing::Test {
 protected:
  // A line with our modem 100 (of the given classes) and the remote fax 200.
  void StartLine(const std::string& classes = "", std::vector<std::string> extraModems = {}) {
    std::vector<std::string> modems = {"ttyFAX0=100" + (classes.empty() ? "" : ":" + classes)};
    modems.insert(modems.end(), extraModems.begin(), extraModems.end());
    line = std::make_unique<FaxLine>(dir / "vline", modems, std::vector<std::string>{std::string("200:") + kRemoteId});
    call = std::make_unique<SendCall>(line->Link("ttyFAX0"), dir / "FAXLOG.HIS");
    call->fax.SetStationID(kOurId);
    call->fax.SetHeaderLine(kHeader);
    call->fax.SetSessionLogName((dir / "session.log").string());
  }
  void Configure(TFaxClass faxClass, int bps, const std::string& number, const std::filesystem::path& apf) {
    call->fax.SetFaxClass(faxClass);
    call->fax.SetDesiredBPS(static_cast<uint16_t>(bps));
    call->fax.SetPhoneNumber(number);
    call->fax.SetFaxFile(apf.string());
  }
  // What to show when a check fails: the session log and the line's call log.
  std::string Trace() const {
    return "\n--- session log\n" + ReadFile(dir / "session.log") + "\n--- call log\n" + (line ? line->CallLog() : "");
  }

  // The checks of a fax that went through.
  void ExpectSent(const RunResult& r) {
    ASSERT_TRUE(r.finished) << Trace();
    EXPECT_EQ(r.finishCode, 0) << Trace();
    EXPECT_TRUE(r.portReleased);
    EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitOk})) << Trace();
    const std::string history = call->History();
    EXPECT_NE(history.find("Transmit " + call->fax.FaxFile() + " to " + call->fax.PhoneNumber() + " started at "),
              std::string::npos)
        << history;
    EXPECT_NE(history.find("Transmit to " + call->fax.RemoteID() + " finished OK at "), std::string::npos) << history;
  }
  // The far side kept exactly our pages, each with its header line.
  void ExpectPagesKept(const std::vector<Raster>& kept, const std::filesystem::path& apf, bool fine, int width,
                       int coverPages = 0) {
    const std::vector<Raster> sent = DecodeApf(apf);
    ASSERT_EQ(kept.size(), sent.size() + static_cast<size_t>(coverPages)) << Trace();
    const int total = static_cast<int>(kept.size());
    for (size_t i = 0; i < sent.size(); ++i) {
      const int number = static_cast<int>(i) + 1 + coverPages;
      const std::string header = std::string(kOurId) + "  Page " + std::to_string(number) + " of " + std::to_string(total);
      const Raster want = ExpectedPage(sent[i], header, fine, width);
      EXPECT_EQ(Difference(kept[i + static_cast<size_t>(coverPages)], want), "") << "page " << number << Trace();
    }
  }
  // The remote's last session record: our ID, the pages, the rate and resolution.
  std::map<std::string, std::string> ExpectRemoteRecord(int pages, int bps, bool fine) {
    const auto records = line->Records("200");
    EXPECT_FALSE(records.empty()) << Trace();
    if (records.empty()) return {};
    auto record = records.back();
    EXPECT_EQ(record["remote_id"], kOurId);
    EXPECT_EQ(record["pages"], std::to_string(pages)) << Trace();
    EXPECT_EQ(record["bit_rate"], std::to_string(bps)) << Trace();
    EXPECT_EQ(record["resolution"], fine ? "204x196" : "204x98");
    EXPECT_EQ(record["result"], "0") << record["result_text"];
    return record;
  }

  TempDir dir;
  std::unique_ptr<FaxLine> line;
  std::unique_ptr<SendCall> call;
};

}  // namespace ql::testing
