// The cover-sheet commands from the main window: New, Add Cover and Edit on a row with a
// cover sheet, with the rows and files they leave.

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/main_screen.h"
#include "app/settings/settings.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using C = TCommand;

class CoverCommands : public ::testing::Test {
 protected:
  CoverCommands() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    StartTableSession();
    IniFile ini(dir_ / "QL.INI");
    ini.WriteInteger("Modem", "ComPort", 0);  // not a first run
    EXPECT_TRUE(ini.Save());
  }
  static OutgoingFax Row(TMainScreen& w, int row) {
    OutgoingFax fax;
    w.OutTable().Go(w.OutModel()->RecNoAt(row));
    ReadOutgoing(w.OutTable(), fax);
    return fax;
  }
  static testing::ModalAnswerer::Answer Fill(const QString& recipient, const QString& message) {
    return [recipient, message](QWidget* editor) {
      editor->findChild<QLineEdit*>("recipient")->setText(recipient);
      editor->findChild<QLineEdit*>("recipientFax")->setText("555-0100");
      editor->findChild<QPlainTextEdit*>("message")->setPlainText(message);
      testing::ClickButtonByText(editor, "Save");
    };
  }
  testing::TempDir dir_;
};

TEST_F(CoverCommands, NewMakesAQuickFaxRowAndEditOpensItsCoverSheetAgain) {
  TMainScreen window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(window.Action(C::cmNew)->isEnabled());
  testing::ModalAnswerer answers;
  answers.ThenOn("Fax Cover Sheet Editor", Fill("Ann Lee", "Hello"));
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Covers" / "ql0001.fct"));  // put there on the way
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  EXPECT_EQ(Row(window, 0).recipient, "Ann Lee");
  EXPECT_EQ(Row(window, 0).faxCover, "COV00000.APF");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "SEND" / "COV00000.FCD"));
  EXPECT_FALSE(window.Action(C::cmAddCover)->isEnabled());  // it has its cover already

  // Edit on a row with a cover sheet is the cover-sheet editor, on the same files.
  answers.ThenOn("Fax Cover Sheet Editor", [](QWidget* editor) {
    EXPECT_EQ(editor->findChild<QPlainTextEdit*>("message")->toPlainText(), "Hello");
    editor->findChild<QLineEdit*>("recipient")->setText("Ann Lee-Smith");
    testing::ClickButtonByText(editor, "Save");
  });
  window.Action(C::cmEdit)->trigger();
  ASSERT_EQ(answers.Seen().size(), 2u);
  EXPECT_EQ(window.OutModel()->rowCount(), 1);
  EXPECT_EQ(Row(window, 0).recipient, "Ann Lee-Smith");
  EXPECT_EQ(Row(window, 0).faxCover, "COV00000.APF");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "SEND" / "COV00001.APF"));
}

TEST_F(CoverCommands, AddCoverGivesAPrintedFaxItsCoverSheet) {
  {
    xb::TTableEngine out;
    ASSERT_TRUE(OpenFaxDBF(out));
    ASSERT_EQ(AppendDriverFax(out, "REPORT.APF", "Dan", "Report", "555-0123"), 0);
  }
  TMainScreen window;
  ASSERT_TRUE(window.Action(C::cmAddCover)->isEnabled());
  window.SetReceiveMode(true);  // not while receiving
  EXPECT_FALSE(window.Action(C::cmAddCover)->isEnabled());
  window.SetReceiveMode(false);
  testing::ModalAnswerer answers;
  answers.ThenOn("Fax Cover Sheet Editor", [](QWidget* editor) {
    EXPECT_EQ(editor->findChild<QLineEdit*>("recipient")->text(), "Dan");
    testing::ClickButtonByText(editor, "Save");
  });
  window.Action(C::cmAddCover)->trigger();
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  EXPECT_EQ(Row(window, 0).faxDoc, "REPORT.APF");
  EXPECT_EQ(Row(window, 0).faxCover, "COV00000.APF");
  EXPECT_FALSE(window.Action(C::cmAddCover)->isEnabled());
}

}  // namespace
}  // namespace ql
