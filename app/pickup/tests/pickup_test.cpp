// The hand-over files and the pickup on real files in a fresh data folder: pairs taken,
// pairs left for later (fax missing, unfinished or cut short, descriptor too short, a
// descriptor that cannot be removed), the driver's drop, and QLPD.INI.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/fax_store/fax_store.h"
#include "app/pickup/driver_drop.h"
#include "app/pickup/driver_files.h"
#include "app/pickup/pickup.h"
#include "app/settings/work_folders.h"
#include "fax_document/apf/apf_file.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

class PickupTest : public ::testing::Test {
 protected:
  PickupTest() {
    SetDataFolder(dir_.path());
    EnsureWorkFolders();
    StartTableSession();
  }
  fs::path Send(const std::string& name) const { return SendFolder() / name; }
  void Fax(const std::string& name, int pages = 1) const {
    ASSERT_EQ(testing::WritePatternFax(Send(name), pages, true, 400), 0);
  }
  void Descriptor(const std::string& name, const std::string& text) const { testing::WriteFile(Send(name), text); }
  // The rows not marked deleted.
  static std::vector<OutgoingFax> Rows() {
    xb::TTableEngine out;
    EXPECT_TRUE(OpenFaxDBF(out));
    std::vector<OutgoingFax> rows;
    for (out.GoTop(); !out.Eof(); out.Skip()) {
      rows.emplace_back();
      ReadOutgoing(out, rows.back());
    }
    return rows;
  }
  static bool PickUp() {
    xb::TTableEngine out;
    EXPECT_TRUE(OpenFaxDBF(out));
    int reopened = 0;
    const bool found = ProcessExtraPDFaxFiles(out, SendFolder(), [&] { ++reopened; });
    EXPECT_EQ(reopened, found ? 1 : 0);
    return found;
  }
  testing::TempDir dir_;
};

TEST_F(PickupTest, APairBecomesARowAndItsDescriptorGoes) {
  Fax("INVOICE.APF", 2);
  // Written by a Windows program: code page 1252, CR LF, and a fourth line nobody reads.
  Descriptor("INVOICE.ORQ", "555-0100\r\nJ\xfcrgen M\xfcller\r\nInvoice 7\r\nextra\r\n");
  Fax("BODY.APF");  // a fax without descriptor (a body of the desk's own) is left alone

  EXPECT_TRUE(PickUp());
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].faxDoc, "INVOICE.APF");
  EXPECT_EQ(rows[0].phone, "555-0100");
  EXPECT_EQ(rows[0].recipient, "J\u00fcrgen M\u00fcller");
  EXPECT_EQ(rows[0].subject, "Invoice 7");
  EXPECT_FALSE(fs::exists(Send("INVOICE.ORQ")));
  EXPECT_TRUE(fs::exists(Send("INVOICE.APF")));
  EXPECT_TRUE(fs::exists(Send("BODY.APF")));
  EXPECT_FALSE(PickUp());  // nothing left to find
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(PickupTest, NamesAreFoundWithoutRegardToCase) {
  Fax("memo.apf");
  Descriptor("memo.orq", "1\nAnn\nMemo\n");
  EXPECT_TRUE(PickUp());
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].faxDoc, "memo.apf");
  EXPECT_EQ(rows[0].recipient, "Ann");
  EXPECT_FALSE(fs::exists(Send("memo.orq")));
}

TEST_F(PickupTest, PairsThatAreNotReadyStayUntilTheyAre) {
  // A descriptor whose fax has not arrived.
  Descriptor("LATE.ORQ", "1\nA\nLate\n");
  // A descriptor of two lines: which line is missing cannot be told.
  Fax("SHORT.APF");
  Descriptor("SHORT.ORQ", "2\nB\n");
  // A fax still being written: its header counts no pages yet.
  ApfWriter writing;
  ASSERT_EQ(writing.Create(Send("OPEN.APF")), 0);
  ASSERT_EQ(writing.BeginPage(true, false), 0);
  const uint8_t line[3] = {0x00, 0x10, 0x01};
  ASSERT_EQ(writing.AppendLine(line, sizeof line), 0);
  Descriptor("OPEN.ORQ", "3\nC\nOpen\n");
  // A fax whose pages run past its end (cut short).
  Fax("CUT.APF", 2);
  fs::resize_file(Send("CUT.APF"), fs::file_size(Send("CUT.APF")) - 100);
  Descriptor("CUT.ORQ", "4\nD\nCut\n");

  EXPECT_TRUE(PickUp());  // descriptors were found, none could be taken
  EXPECT_TRUE(Rows().empty());
  for (const char* name : {"LATE.ORQ", "SHORT.ORQ", "SHORT.APF", "OPEN.ORQ", "CUT.ORQ", "CUT.APF"})
    EXPECT_TRUE(fs::exists(Send(name))) << name;

  // Once the fax is there and finished, the next activation takes it.
  Fax("LATE.APF");
  ASSERT_EQ(writing.EndPage(), 0);
  ASSERT_EQ(writing.Close("ID"), 0);
  EXPECT_TRUE(PickUp());
  std::set<std::string> subjects;
  for (const auto& row : Rows()) subjects.insert(row.subject);
  EXPECT_EQ(subjects, (std::set<std::string>{"Late", "Open"}));
  EXPECT_FALSE(fs::exists(Send("LATE.ORQ")));
  EXPECT_FALSE(fs::exists(Send("OPEN.ORQ")));
  EXPECT_TRUE(fs::exists(Send("SHORT.ORQ")));
}

// A send folder the desk may read but not change (a read-only share): the descriptor
// cannot be removed, so a row written for it would come back at every activation.
TEST_F(PickupTest, ADescriptorThatCannotBeRemovedAddsNoRow) {
  Fax("RO.APF");
  Descriptor("RO.ORQ", "5\nE\nRead-only\n");
  const auto pickUpTwice = [] {
    PickUp();
    PickUp();
  };
  if (::geteuid() != 0) {
    fs::permissions(SendFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    pickUpTwice();
    fs::permissions(SendFolder(), fs::perms::owner_all);
  } else {
    // Root may remove anything: the pickup runs as an ordinary user instead, who owns the
    // data folder and its tables but not the send folder.
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    { xb::TTableEngine out; ASSERT_TRUE(OpenFaxDBF(out)); }  // the tables exist before
    for (const auto& entry : fs::directory_iterator(dir_.path()))
      if (entry.path() != SendFolder()) ASSERT_EQ(::chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chown(dir_.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(2);
      pickUpTwice();
      ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(fs::exists(Send("RO.ORQ")));
  // Once the folder can be changed again, the pair comes in once.
  PickUp();
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(PickupTest, TheDriversDropIsPickedUpWithItsValues) {
  const fs::path made = dir_.path() / "made.apf";
  ASSERT_EQ(testing::WritePatternFax(made, 3, true, 400), 0);
  Descriptor("PRN00000.ORQ", "left\nby\nsomeone\n");  // an orphan descriptor keeps its name
  const DropResult first = DropDriverFax(SendFolder(), made, {"555-0100", "Ann\nLee", "Multi\r\nline"});
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(first.apf, Send("PRN00001.APF"));
  EXPECT_FALSE(fs::exists(made));
  const auto read = ReadDescriptor(Send("PRN00001.ORQ"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->recipient, "Ann Lee");
  EXPECT_EQ(read->subject, "Multi  line");

  ASSERT_EQ(testing::WritePatternFax(made, 1, true, 400), 0);
  const DropResult second = DropDriverFax(SendFolder(), made, {"1", "Bo", "Second"});
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(second.apf, Send("PRN00002.APF"));

  fs::remove(Send("PRN00000.ORQ"));
  EXPECT_TRUE(PickUp());
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  const auto first_row = std::find_if(rows.begin(), rows.end(), [](const OutgoingFax& r) { return r.faxDoc == "PRN00001.APF"; });
  ASSERT_NE(first_row, rows.end());
  EXPECT_EQ(first_row->phone, "555-0100");
  EXPECT_EQ(first_row->recipient, "Ann Lee");
}

TEST_F(PickupTest, AnUnfinishedFaxIsNotDroppedAndNothingIsLeft) {
  const fs::path made = dir_.path() / "bad.apf";
  testing::WriteFile(made, "not a fax at all");
  const DropResult result = DropDriverFax(SendFolder(), made, {"1", "A", "S"});
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  EXPECT_TRUE(fs::exists(made));
  EXPECT_TRUE(fs::is_empty(SendFolder()));
}

TEST_F(PickupTest, DriverIniNamesTheSendFolderAndKeepsOtherKeys) {
  const fs::path ini = dir_.path() / "config" / "quillet" / "QLPD.INI";
  fs::create_directories(ini.parent_path());
  testing::WriteFile(ini, "[Location]\nQLOutPath=/old/SEND/\n[Driver]\nPaper=A4\n");
  ASSERT_TRUE(WriteDriverIni(ini));
  const auto location = ReadDriverIni(ini);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->outPath.string(), SendFolder().string() + "/");
  EXPECT_EQ(location->executable, ExecutableFolder() / "ql");
  EXPECT_EQ(IniFile(ini).ReadString("Driver", "Paper", ""), "A4");

  EXPECT_FALSE(ReadDriverIni(dir_.path() / "missing.ini"));
  setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
  EXPECT_EQ(DriverIniPath(), ini);
}

}  // namespace
}  // namespace ql
