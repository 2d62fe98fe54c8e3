// The fax desk picking up printed faxes: a pair dropped while it runs shows up as a row
// when the desk is activated again, and every start of the desk rewrites QLPD.INI.

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "app/desk_flows/desk_flows.h"
#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/main_screen.h"
#include "app/pickup/driver_files.h"
#include "app/settings/port_settings.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/testing/application.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "platform/message_windows/qt_message_pump.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

class DeskPickupTest : public ::testing::Test {
 protected:
  DeskPickupTest() {
    testing::EnsureApplication();
    InstallQtMessagePump();
    SetDataFolder(dir_.path() / "home");
    fs::create_directories(dir_.path() / "home");
    setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
    InstallSettingsPortResolver();
    Settings() = TSettings{};
    StartTableSession();
    // Not a first run: no Preferences dialog at the first activation.
    IniFile ini(dir_.path() / "home" / "QL.INI");
    ini.WriteInteger("Modem", "ComPort", 0);
    EXPECT_TRUE(ini.Save());
  }
  static QString Cell(TTableListModel* model, int row, const char* label) {
    for (int c = 0; c < model->columnCount(); ++c)
      if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == label)
        return model->data(model->index(row, c), Qt::DisplayRole).toString();
    return "?";
  }
  static int RowWith(TTableListModel* model, const QString& subject) {
    for (int r = 0; r < model->rowCount(); ++r)
      if (Cell(model, r, "Subject") == subject) return r;
    return -1;
  }
  testing::TempDir dir_;
};

TEST_F(DeskPickupTest, APairDroppedWhileTheDeskRunsIsListedAtTheNextActivation) {
  TMainScreen desk;
  ASSERT_TRUE(desk.TablesOpen());
  const auto flows = AttachDeskFlows(desk);
  desk.FirstActivation();
  ASSERT_EQ(desk.OutModel()->rowCount(), 0);

  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "INVOICE.APF", 2, true, 400), 0);
  testing::WriteFile(SendFolder() / "INVOICE.ORQ", "555-0100\nAcme Accounts\nInvoice 2041\n");
  testing::WriteFile(SendFolder() / "ORPHAN.ORQ", "555-0199\nNobody\nNo fax\n");
  desk.LaterActivation();

  ASSERT_EQ(desk.OutModel()->rowCount(), 1);
  const int row = RowWith(desk.OutModel(), "Invoice 2041");
  ASSERT_GE(row, 0);
  EXPECT_EQ(Cell(desk.OutModel(), row, "Recipient"), "Acme Accounts");
  EXPECT_EQ(Cell(desk.OutModel(), row, "Fax#"), "555-0100");
  OutgoingFax fax;
  desk.OutTable().Go(desk.OutModel()->RecNoAt(row));
  ReadOutgoing(desk.OutTable(), fax);
  EXPECT_EQ(fax.faxDoc, "INVOICE.APF");
  EXPECT_FALSE(fs::exists(SendFolder() / "INVOICE.ORQ"));
  EXPECT_TRUE(fs::exists(SendFolder() / "ORPHAN.ORQ"));
  desk.close();
}

TEST_F(DeskPickupTest, FaxesPrintedWhileTheDeskWasClosedComeInAtItsStart) {
  EnsureWorkFolders();
  ASSERT_EQ(testing::WritePatternFax(SendFolder() / "EARLY.APF", 1, true, 400), 0);
  testing::WriteFile(SendFolder() / "EARLY.ORQ", "1\nEve\nEarly\n");
  TMainScreen desk;
  const auto flows = AttachDeskFlows(desk);
  desk.FirstActivation();
  EXPECT_GE(RowWith(desk.OutModel(), "Early"), 0);
  desk.close();
}

TEST_F(DeskPickupTest, EveryStartRewritesTheDriverSettings) {
  const fs::path ini = dir_.path() / "config" / "quillet" / "QLPD.INI";
  for (const char* home : {"home", "other"}) {
    SetDataFolder(dir_.path() / home);
    fs::create_directories(dir_.path() / home);
    IniFile settings(dir_.path() / home / "QL.INI");
    settings.WriteInteger("Modem", "ComPort", 0);
    ASSERT_TRUE(settings.Save());
    if (fs::exists(ini)) testing::WriteFile(ini, "[Location]\nQLOutPath=/stale/\n");
    TMainScreen desk;
    const auto flows = AttachDeskFlows(desk);
    desk.FirstActivation();
    const auto location = ReadDriverIni(ini);
    ASSERT_TRUE(location);
    EXPECT_EQ(location->outPath.string(), SendFolder().string() + "/");
    EXPECT_EQ(location->outPath.parent_path().parent_path(), dir_.path() / home);
    EXPECT_EQ(location->executable.filename(), "ql");
    desk.close();
  }
}

}  // namespace
}  // namespace ql
