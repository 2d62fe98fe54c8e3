// View/print from the fax desk: Ctrl+V and the View button open the fax view window on
// the current row's fax, and the window's temporary copy is gone once it closes.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <regex>

#include "app/fax_store/fax_store.h"
#include "app/main_window/main_screen.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_document/ui/fax_view_window.h"
#include "fax_document/ui/tests/sample_fax.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

TEST(DeskView, ViewShowsTheCurrentRowsFaxAndLeavesNoCopy) {
  testing::EnsureApplication();
  testing::TempDir dir;
  SetDataFolder(dir.path());
  Settings() = TSettings{};
  StartTableSession();
  IniFile ini(dir / "QL.INI");
  ini.WriteInteger("Modem", "ComPort", 0);
  ASSERT_TRUE(ini.Save());
  EnsureWorkFolders();
  ASSERT_EQ(testing::WritePatternFax(ReceiveFolder() / "FAX0001.APF", 2, false), 0);
  {
    xb::TTableEngine rec;
    ASSERT_TRUE(OpenRecFaxDBF(rec));
    ASSERT_EQ(AppendReceivedFax(rec, "ACME", 2, "FAX0001.APF"), 0);
  }
  TMainScreen window;
  window.show();
  window.FirstActivation();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.SelectTab(TListTab::ltReceived);
  window.SetButtons();
  ASSERT_TRUE(window.Action(TCommand::cmView)->isEnabled());
  std::vector<QString> statuses;
  testing::ModalAnswerer answers;
  const auto look = [&](QWidget* modal) {
    auto* viewer = qobject_cast<TFaxViewer*>(modal);
    ASSERT_NE(viewer, nullptr);
    statuses.push_back(viewer->StatusLabel()->text());
    viewer->accept();
  };
  answers.Then(look).Then(look);
  QTest::keyClick(&window, Qt::Key_V, Qt::ControlModifier);
  window.Button(TCommand::cmView)->click();
  EXPECT_EQ(statuses, (std::vector<QString>{QStringLiteral("ACME: Page 1 of 2"), QStringLiteral("ACME: Page 1 of 2")}));
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_FALSE(std::regex_match(entry.path().filename().string(), std::regex("FAX[0-9]{5}\\.APF"))) << entry.path();
}

}  // namespace
}  // namespace ql
